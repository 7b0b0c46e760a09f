"""Writes every file derived from the entry lists, from one reading of them.

    CXX -E -P -x c++ -I include -I src/frame/windows rows.in |
        python3 -B generate.py TEMPLATE_DIR BINDINGS_DIR GENERATED_DIR windows|unix

Standard input is rows.in after the preprocessor: the sets, selections,
slots, builders and runtime entry points of the lists, one record a keyword
(rows.in says which). The outputs:
  BINDINGS_DIR/pascal/zep00001.pas, dotnet/Zep00001.cs, python/zep00001.py:
    the bindings, each its template (TEMPLATE_DIR/zep00001.pas.in and so
    on) with every line that holds only @ZEP_<PART>@ replaced by the part
    its language's filler (languages.py) makes;
  GENERATED_DIR/PKG_ZEP00001.def: the Windows DLL's export names, plain and
    decorated (exports.py);
  GENERATED_DIR/exports.h: the exported declarations, for reading;
  GENERATED_DIR/fixed_packages.cmake: the sets with a fixed package.
One left unchanged keeps its time, so that nothing built from it is made
again. The platform is the one the module is built for, whose library name
the .NET file imports.
"""

import re
import sys
from pathlib import Path

import exports
import languages
from rows import RowsError, read_rows

BINDINGS = [
    ("zep00001.pas.in", "pascal/zep00001.pas", languages.pascal_parts),
    ("Zep00001.cs.in", "dotnet/Zep00001.cs", languages.dotnet_parts),
    ("zep00001.py.in", "python/zep00001.py", languages.python_parts),
]


def fill(template, parts):
    """The template with each part's line replaced by the part."""
    for part, text in parts.items():
        marker = f"@ZEP_{part}@\n"
        if marker not in template:
            raise RowsError(f"no line {marker.strip()}")
        template = template.replace(marker, text)
    left = re.search(r"@ZEP_[A-Z_]+@", template)
    if left:
        raise RowsError(f"nothing fills {left.group(0)}")
    return template


def write(path, content):
    path.parent.mkdir(parents=True, exist_ok=True)
    data = content.encode("utf-8")
    if not path.exists() or path.read_bytes() != data:
        path.write_bytes(data)


def main(template_dir, bindings_dir, generated_dir, platform):
    try:
        rows = read_rows(sys.stdin.read())
        generated = {
            "PKG_ZEP00001.def": exports.module_definition(rows, "PKG_ZEP00001.dll"),
            "exports.h": exports.declarations(rows),
            "fixed_packages.cmake": exports.fixed_packages(rows),
        }
    except (RowsError, ValueError, KeyError) as error:
        sys.exit(f"generate: the rows: {error}")
    for template, output, parts in BINDINGS:
        template = Path(template_dir, template)
        try:
            content = fill(template.read_bytes().decode("utf-8"), parts(rows, platform))
        except RowsError as error:
            sys.exit(f"generate: {template}: {error}")
        write(Path(bindings_dir, output), content)
    for name, content in generated.items():
        write(Path(generated_dir, name), content)


if __name__ == "__main__":
    if len(sys.argv) != 5 or sys.argv[4] not in ("windows", "unix"):
        sys.exit(__doc__)
    main(*sys.argv[1:])
