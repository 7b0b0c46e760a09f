"""What the build takes from the rows besides the bindings: the module's
Windows module-definition file, with each host-visible name under its
decorated and its plain name; a plain listing of the exported declarations;
the fixed packages for CMake.

The decorated names: "@Zep00001@" and the name; for a function "$qqr" and
one code a parameter in declared order, or "v" for none. Integer "i",
boolean "o", double "d", text "17System@AnsiString", each preceded by "r"
when passed by reference. A text whose exact type (passing included) stood
before is written "t" and the position, from 1, of its first parameter of
that type."""

from rows import RowsError

UNIT = "Zep00001"
TYPE_CODES = {"Integer": "i", "Boolean": "o", "Double": "d", "Text": "17System@AnsiString"}
# The parameters of a bind, unbind or selection by its argument kind: the
# (kind, passing) pairs, and the C++ declaration.
ARGUMENTS = {
    "ModelCode": ([("Integer", "ByValue")], "std::int32_t modelCode"),
    "UseFlag": ([("Integer", "ByValue")], "std::int32_t useFlag"),
    "ModelText": ([("Text", "ByValue")], "const std::string& modelCode"),
    "None": ([], ""),
}
CPP_TYPES = {("Text", "ByValue"): "const std::string&", ("Text", "ByRef"): "const std::string&",
             ("Integer", "ByValue"): "std::int32_t", ("Integer", "ByRef"): "const std::int32_t&",
             ("Double", "ByValue"): "double", ("Boolean", "ByValue"): "bool"}


def decorate(name, types=None):
    """The decorated name of function `name` whose parameters are the
    (kind, passing) pairs `types`; of data when `types` is None."""
    if types is None:
        return f"@{UNIT}@{name}"
    codes, first_of_type = "", {}
    for position, (kind, passing) in enumerate(types, start=1):
        seen = first_of_type.get((kind, passing))
        if kind == "Text" and seen is not None:
            # One digit is all the scheme as the host writes it shows.
            if seen > 9:
                raise RowsError(f"{name}: back-reference to parameter {seen}")
            codes += f"t{seen}"
            continue
        codes += ("r" if passing == "ByRef" else "") + TYPE_CODES[kind]
        first_of_type.setdefault((kind, passing), position)
    return f"@{UNIT}@{name}$qqr{codes or 'v'}"


def operations(rows):
    """Every exported function: (name, result, (kind, passing) pairs, C++
    parameter list), sets in order, then the builders."""
    for s in rows.sets:
        made = [("InstanciaFuncoes", s.bind), ("FinalizaFuncoes", s.unbind)]
        if s.selection:
            made.append(("RetNomeBpl", s.selection))
        for operation, kind in made:
            types, declared = ARGUMENTS[kind]
            result = "std::string" if operation == "RetNomeBpl" else "bool"
            yield f"{operation}_{s.name}", result, types, declared
    for b in rows.builders:
        types = [(p.kind, p.passing) for p in b.parameters]
        declared = ", ".join(f"{CPP_TYPES[t]} {p.name}" for t, p in zip(types, b.parameters))
        yield b.name, "zep::Value", types, declared


def module_definition(rows, library):
    lines = [f"LIBRARY {library}", "EXPORTS"]
    for slot in rows.slots:
        lines += [f'  "{decorate(slot)}" = {slot} DATA', f"  {slot} DATA"]
    for name, _, types, _ in operations(rows):
        lines += [f'  "{decorate(name, types)}" = {name}', f"  {name}"]
    lines += [f"  {name}" for name in rows.package_entries]
    lines += [f'  "{decorate(name, [])}" = {function}' for name, function in rows.unit_entries]
    return "\n".join(lines) + "\n"


def declarations(rows):
    out = ["// Every name the module exports, as zep00001/zep00001.hpp declares it through",
           "// the entry lists, written out for reading (generated; never compiled), with its",
           "// decorated Windows name.", ""]
    for name, result, types, declared in operations(rows):
        out.append(f"{result} {name}({declared});  // {decorate(name, types)}")
    for s in rows.sets:
        out += ["", f"// The slots of {s.name}, in lookup order."]
        out += [f"extern void* {slot};  // {decorate(slot)}" for slot in s.slots]
    return "\n".join(out) + "\n"


def fixed_packages(rows):
    pairs = ";".join(f"{s.name}={s.package}" for s in rows.sets if s.package)
    return f'# The sets with a fixed package, Set=Package (generated).\nset(ZEP_FIXED_PACKAGES "{pairs}")\n'
