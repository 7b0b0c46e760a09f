"""Writes the module's bindings in other languages from the entry lists.

    python3 generate.py ROWS TEMPLATE_DIR OUTPUT_DIR windows|unix

ROWS is rows.in after the preprocessor: the sets, selections, slots and
builders of the entry lists, one record a keyword (rows.in says which).
Each binding is a template in its own language (TEMPLATE_DIR/zep00001.pas.in
and so on); a line that holds only @ZEP_<PART>@ receives the part that the
language's filler below makes from the rows. The outputs are
OUTPUT_DIR/pascal/zep00001.pas, OUTPUT_DIR/dotnet/Zep00001.cs and
OUTPUT_DIR/python/zep00001.py; one left unchanged keeps its time, so that
nothing built from it is made again. The platform is the one the module is
built for, whose library name the .NET file imports. @ZEP_VERSION@ anywhere
receives the module's version, from the environment variable ZEP_VERSION.
"""

import os
import re
import sys
from dataclasses import dataclass, field
from pathlib import Path

KEYWORDS = {"set", "slots", "slot", "selection", "builder", "parameter"}
ARGUMENT_KINDS = {"ModelCode", "UseFlag", "ModelText", "None"}
PARAMETER_KINDS = {"Text", "Integer", "Double", "Boolean"}
PASSINGS = {"ByValue", "ByRef"}


class RowsError(Exception):
    pass


@dataclass
class SlotSet:
    name: str
    bind: str  # the argument kinds of InstanciaFuncoes_ and FinalizaFuncoes_
    unbind: str
    first: int = 0  # index of its first slot among all slots
    slots: list = field(default_factory=list)

    @property
    def last(self):
        return self.first + len(self.slots) - 1


@dataclass
class Parameter:
    kind: str
    passing: str
    name: str


@dataclass
class Builder:
    name: str
    parameters: list = field(default_factory=list)

    @property
    def operation(self):
        """Params_<operation>_Zep00000's operation, the Python binding's key."""
        return re.fullmatch(r"Params_(.*)_Zep00000", self.name).group(1)


@dataclass
class Rows:
    sets: list = field(default_factory=list)
    selections: list = field(default_factory=list)  # (set name, argument kind)
    builders: list = field(default_factory=list)

    @property
    def slots(self):
        return [slot for slot_set in self.sets for slot in slot_set.slots]


def records(text):
    """The words of the rows as [keyword, word...] records, in order."""
    record = None
    for word in text.split():
        if word in KEYWORDS:
            if record:
                yield record
            record = [word]
        elif record is None:
            raise RowsError(f"'{word}' stands before any keyword")
        else:
            record.append(word)
    if record:
        yield record


def read_rows(text):
    rows = Rows()
    sets = {}
    current_set = None
    count = 0
    for keyword, *words in records(text):
        if keyword == "set":
            name, bind, unbind = words
            for kind in (bind, unbind):
                if kind not in ARGUMENT_KINDS:
                    raise RowsError(f"set {name}: unknown argument kind '{kind}'")
            sets[name] = SlotSet(name, bind, unbind)
            rows.sets.append(sets[name])
        elif keyword == "selection":
            name, argument = words
            rows.selections.append((name, argument))
        elif keyword == "slots":
            (name,) = words
            current_set = sets[name]
            current_set.first = count
        elif keyword == "slot":
            (name,) = words
            if current_set is None:
                raise RowsError(f"slot {name} belongs to no set")
            current_set.slots.append(name)
            count += 1
        elif keyword == "builder":
            (name,) = words
            rows.builders.append(Builder(name))
        elif keyword == "parameter":
            parameter = Parameter(*words)
            builder = rows.builders[-1]
            if parameter.kind not in PARAMETER_KINDS:
                raise RowsError(f"{builder.name}: unknown parameter kind '{parameter.kind}'")
            if parameter.passing not in PASSINGS:
                raise RowsError(f"{builder.name}: unknown passing '{parameter.passing}'")
            builder.parameters.append(parameter)
    for slot_set in rows.sets:
        if not slot_set.slots:
            raise RowsError(f"set {slot_set.name} has no slots")
    return rows


# --- Pascal -------------------------------------------------------------------
PASCAL_CONVENTION = "{$IFDEF WIN32}stdcall{$ELSE}cdecl{$ENDIF}"
PASCAL_TYPES = {"Text": "AnsiString", "Integer": "Integer", "Double": "Double",
                "Boolean": "Boolean"}
PASCAL_C_TYPES = {"Text": "PAnsiChar", "Integer": "Integer", "Double": "Double",
                  "Boolean": "Integer"}


def pascal_argument(kind):
    """The Pascal parameter list of a bind's argument kind, and the text the
    C interface takes made from it."""
    return {
        "ModelCode": ("(ModelCode: Integer)", "ZepDecimal(ModelCode)"),
        "UseFlag": ("(UseFlag: Integer)", "ZepDecimal(UseFlag)"),
        "ModelText": ("(const ModelCode: AnsiString)", "ModelCode"),
        "None": ("", "''"),
    }[kind]


def pascal_builder(builder):
    """The declarations, the import and the definitions of a builder: the
    one that gives pairs, and NewBlock_<builder>, which gives the block."""
    parameters, c_parameters, arguments = [], [], []
    for p in builder.parameters:
        # A text by value takes a string of any code page, which ZepText converts.
        if p.kind == "Text":
            parameter = f"var {p.name}: AnsiString" if p.passing == "ByRef" else \
                f"const {p.name}: RawByteString"
        else:
            mode = "var " if p.passing == "ByRef" else ""
            parameter = f"{mode}{p.name}: {PASCAL_TYPES[p.kind]}"
        parameters.append(parameter)
        c_parameters.append(f"{p.name}: {PASCAL_C_TYPES[p.kind]}")
        arguments.append({"Text": f"PAnsiChar(ZepText({p.name}, '{p.name}'))",
                          "Boolean": f"ZepFlag({p.name}, '{p.name}')"}.get(p.kind, p.name))
    # One parameter a line: the builders take up to seventeen.
    listed = ";\n  ".join(parameters)
    call = f"zep_{builder.name}(\n    " + ",\n    ".join(arguments) + ")"
    pairs = f"function {builder.name}(\n  {listed}): Variant;"
    block = f"function NewBlock_{builder.name}(\n  {listed}): Pointer;"
    imported = (f"function zep_{builder.name}(\n  " + ";\n  ".join(c_parameters)
                + f"): Pointer;\n  {PASCAL_CONVENTION}; external ZepLibrary;\n")
    definitions = [f"{pairs}\nbegin\n  Result := ZepBlock({call});\nend;\n",
                   f"{block}\nbegin\n  Result := ZepNewBlock({call});\nend;\n"]
    return [pairs, block], imported, definitions


def pascal_parts(rows, platform):
    variables = ""
    for slot_set in rows.sets:
        variables += f"  {{ {slot_set.name} }}\n"
        variables += "".join(f"  {slot}: Pointer;\n" for slot in slot_set.slots)

    slots = rows.slots
    table = (f"  ZepSlots: array[0..{len(slots) - 1}] of TZepSlot = (\n"
             + ",\n".join(f"    (Name: '{slot}'; Slot: @{slot})" for slot in slots) + ");\n")

    declarations, definitions, imports = [], [], []
    for s in rows.sets:
        for operation, kind, binds in [("InstanciaFuncoes", s.bind, "True"),
                                       ("FinalizaFuncoes", s.unbind, "False")]:
            parameter, model = pascal_argument(kind)
            heading = f"function {operation}_{s.name}{parameter}: Boolean;"
            declarations.append(heading)
            definitions.append(f"{heading}\nbegin\n  Result := ZepOperate({binds}, "
                               f"'{s.name}', {model}, {s.first}, {s.last});\nend;\n")
    for name, kind in rows.selections:
        parameter, model = pascal_argument(kind)
        heading = f"function RetNomeBpl_{name}{parameter}: AnsiString;"
        declarations.append(heading)
        definitions.append(f"{heading}\nbegin\n  Result := ZepSelect('{name}', {model});\nend;\n")
    for builder in rows.builders:
        headings, imported, made = pascal_builder(builder)
        declarations += headings
        imports.append(imported)
        definitions += made

    set_table = (f"  ZepSets: array[0..{len(rows.sets) - 1}] of TZepSet = (\n"
                 + ",\n".join(f"    (Name: '{s.name}'; FirstSlot: {s.first}; "
                              f"LastSlot: {s.last})" for s in rows.sets)
                 + ");\n")

    return {
        "PASCAL_SLOT_VARIABLES": variables,
        "PASCAL_DECLARATIONS": "".join(f"{d}\n" for d in declarations),
        "PASCAL_IMPORTS": "".join(imports),
        "PASCAL_SLOT_TABLE": table,
        "PASCAL_SET_TABLE": set_table,
        "PASCAL_DEFINITIONS": "\n".join(definitions),
    }


# --- C# -----------------------------------------------------------------------
DOTNET_TYPES = {"Text": "string", "Integer": "int", "Double": "double", "Boolean": "bool"}
DOTNET_C_TYPES = {"Text": "byte[]", "Integer": "int", "Double": "double", "Boolean": "int"}


def dotnet_builder(builder):
    """The import and the builder giving pairs, and the builder giving a Block."""
    parameters = [f"{DOTNET_TYPES[p.kind]} {p.name}" for p in builder.parameters]
    c_parameters = [f"{DOTNET_C_TYPES[p.kind]} {p.name}" for p in builder.parameters]
    arguments = [{"Text": f'Encode({p.name}, "{p.name}")',
                  "Boolean": f"{p.name} ? 1 : 0"}.get(p.kind, p.name)
                 for p in builder.parameters]
    name = builder.name

    def method(indent, result, made_by):
        return (f"{indent}public static {result} {name}(\n{indent}    "
                + f",\n{indent}    ".join(parameters) + ")\n"
                f"{indent}{{\n"
                f"{indent}    return {made_by}(() => zep_{name}(\n{indent}        "
                + f",\n{indent}        ".join(arguments) + "));\n"
                f"{indent}}}\n")

    pairs = (
        "        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]\n"
        f"        static extern IntPtr zep_{name}(\n            "
        + ",\n            ".join(c_parameters) + ");\n\n"
        f"        /// <summary>The block of {name}, one {{ key, value }} a pair.</summary>\n"
        + method("        ", "object[][]", "Pairs"))
    block = (f"            /// <summary>The block of {name} as a <see cref=\"Block\"/>.</summary>\n"
             + method("            ", "Block", "NewBlock"))
    return pairs, block


def dotnet_parts(rows, platform):
    built = [dotnet_builder(b) for b in rows.builders]
    # Its library name: the runtime finds the file a host's package installs.
    library = "zep00001_c.dll" if platform == "windows" else "libzep00001_c.so.1"
    return {
        "DOTNET_LIBRARY": f'        const string Library = "{library}";\n',
        "DOTNET_BUILDERS": "\n".join(pairs for pairs, _ in built),
        "DOTNET_BLOCKS": "\n".join(block for _, block in built),
    }


# --- Python -------------------------------------------------------------------
def python_parts(rows, platform):
    builders = ""
    for builder in rows.builders:
        parameters = ",\n        ".join(f'("{p.kind}", "{p.name}")' for p in builder.parameters)
        builders += f'    "{builder.operation}": [\n        {parameters}],\n'
    return {"PYTHON_BUILDERS": builders}


# --- The files ------------------------------------------------------------------
BINDINGS = [
    ("zep00001.pas.in", "pascal/zep00001.pas", pascal_parts),
    ("Zep00001.cs.in", "dotnet/Zep00001.cs", dotnet_parts),
    ("zep00001.py.in", "python/zep00001.py", python_parts),
]


def fill(template, parts):
    """The template with each part's line replaced by the part."""
    for part, text in parts.items():
        marker = f"@ZEP_{part}@\n"
        if marker not in template:
            raise RowsError(f"no line {marker.strip()}")
        template = template.replace(marker, text)
    template = template.replace("@ZEP_VERSION@", os.environ["ZEP_VERSION"])
    left = re.search(r"@ZEP_[A-Z_]+@", template)
    if left:
        raise RowsError(f"nothing fills {left.group(0)}")
    return template


def main(rows_file, template_dir, output_dir, platform):
    try:
        rows = read_rows(Path(rows_file).read_text())
    except (RowsError, ValueError, KeyError) as error:
        sys.exit(f"generate: {rows_file}: {error}")
    for template, output, parts in BINDINGS:
        template = Path(template_dir, template)
        try:
            content = fill(template.read_bytes().decode("utf-8"), parts(rows, platform))
        except RowsError as error:
            sys.exit(f"generate: {template}: {error}")
        output = Path(output_dir, output)
        output.parent.mkdir(parents=True, exist_ok=True)
        data = content.encode("utf-8")
        if not output.exists() or output.read_bytes() != data:
            output.write_bytes(data)


if __name__ == "__main__":
    if len(sys.argv) != 5 or sys.argv[4] not in ("windows", "unix"):
        sys.exit(__doc__)
    main(*sys.argv[1:])
