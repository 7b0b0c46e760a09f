"""The bindings in other languages, each a template in its own language
(zep00001.pas.in and so on) whose @ZEP_<PART>@ lines receive the parts that
the language's filler here makes from the rows."""

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
                          "Boolean": f"Ord({p.name})"}.get(p.kind, p.name))
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
                f"{indent}    return {made_by}(zep_{name}(\n{indent}        "
                + f",\n{indent}        ".join(arguments) + "));\n"
                f"{indent}}}\n")

    pairs = (
        "        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]\n"
        f"        static extern IntPtr zep_{name}(\n            "
        + ",\n            ".join(c_parameters) + ");\n\n"
        f"        /// <summary>The block of {name}, one {{ key, value }} a pair.</summary>\n"
        + method("        ", "object[][]", "Pairs"))
    block = method("            ", "Block", "NewBlock")
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
