# The generator of the module's bindings in other languages, run as a script
# on the build machine:
#   cmake -DROWS=<rows> -DPASCAL=<template> -DPASCAL_OUTPUT=<zep00001.pas>
#         -DDOTNET=<template> -DDOTNET_OUTPUT=<Zep00001.cs>
#         -DPYTHON=<template> -DPYTHON_OUTPUT=<zep00001.py> -P generate.cmake
# ROWS is rows.in after the preprocessor: the sets, selections, slots and
# builders of the entry lists. Each template is the binding's fixed part, in
# its own language; a line that holds only @ZEP_<PART>@ receives the part
# made here from the rows.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../cmake/rows.cmake)

foreach(argument ROWS PASCAL PASCAL_OUTPUT DOTNET DOTNET_OUTPUT PYTHON PYTHON_OUTPUT)
  if(NOT DEFINED ${argument})
    message(FATAL_ERROR "generate: -D${argument}=... is missing")
  endif()
endforeach()

# --- The rows, into lists ---------------------------------------------------
# sets: the set names; set_<S>: bind and unbind argument kinds and the
# indices of its first and last slot; selections: set names; slots: every
# slot; builders: names; builder_<B>: kind, passing and name a parameter.
zep_read_rows(records ${ROWS} set slots slot selection builder parameter)
set(sets "")
set(selections "")
set(slots "")
set(builders "")
set(current_set "")
set(current_builder "")
foreach(record IN LISTS records)
  string(REPLACE "," ";" record "${record}")
  list(POP_FRONT record kind)
  if(kind STREQUAL "set")
    list(POP_FRONT record name bind unbind)
    list(APPEND sets ${name})
    set(set_${name} ${bind} ${unbind})
  elseif(kind STREQUAL "selection")
    list(POP_FRONT record name argument)
    list(APPEND selections ${name})
    set(selection_${name} ${argument})
  elseif(kind STREQUAL "slots")
    set(current_set ${record})
    list(LENGTH slots first_${current_set})
  elseif(kind STREQUAL "slot")
    if(current_set STREQUAL "")
      message(FATAL_ERROR "generate: slot ${record} belongs to no set")
    endif()
    list(APPEND slots ${record})
    list(APPEND slots_${current_set} ${record})
  elseif(kind STREQUAL "builder")
    set(current_builder ${record})
    list(APPEND builders ${current_builder})
    set(builder_${current_builder} "")
  elseif(kind STREQUAL "parameter")
    list(APPEND builder_${current_builder} ${record})
  endif()
endforeach()

foreach(name IN LISTS sets)
  if(NOT DEFINED slots_${name})
    message(FATAL_ERROR "generate: set ${name} has no slots")
  endif()
endforeach()

# --- Pascal -----------------------------------------------------------------
set(convention "{$IFDEF WIN32}stdcall{$ELSE}cdecl{$ENDIF}")

# The Pascal parameter, and the text the C interface takes, of an argument kind.
function(pascal_argument parameter text argument)
  if(argument STREQUAL "ModelCode" OR argument STREQUAL "UseFlag")
    set(${parameter} "(${argument}: Integer)" PARENT_SCOPE)
    set(${text} "ZepDecimal(${argument})" PARENT_SCOPE)
  elseif(argument STREQUAL "ModelText")
    set(${parameter} "(const ModelCode: AnsiString)" PARENT_SCOPE)
    set(${text} "ModelCode" PARENT_SCOPE)
  elseif(argument STREQUAL "None")
    set(${parameter} "" PARENT_SCOPE)
    set(${text} "''" PARENT_SCOPE)
  else()
    message(FATAL_ERROR "generate: unknown argument kind '${argument}'")
  endif()
endfunction()

set(pascal_slot_variables "")
set(pascal_slot_table "")
set(pascal_declarations "")
set(pascal_definitions "")
set(pascal_imports "")

foreach(name IN LISTS sets)
  string(APPEND pascal_slot_variables "  { ${name} }\n")
  foreach(slot IN LISTS slots_${name})
    string(APPEND pascal_slot_variables "  ${slot}: Pointer;\n")
  endforeach()
endforeach()
set(separator "")
foreach(slot IN LISTS slots)
  string(APPEND pascal_slot_table "${separator}    (Name: '${slot}'; Slot: @${slot})")
  set(separator ",\n")
endforeach()
list(LENGTH slots slot_count)
math(EXPR last "${slot_count} - 1")
set(pascal_slot_table "  ZepSlots: array[0..${last}] of TZepSlot = (\n${pascal_slot_table});\n")

foreach(name IN LISTS sets)
  list(GET set_${name} 0 bind)
  list(GET set_${name} 1 unbind)
  list(LENGTH slots_${name} count)
  set(first ${first_${name}})
  math(EXPR last "${first} + ${count} - 1")
  foreach(operation IN ITEMS InstanciaFuncoes FinalizaFuncoes)
    if(operation STREQUAL "InstanciaFuncoes")
      set(argument ${bind})
      set(binds True)
    else()
      set(argument ${unbind})
      set(binds False)
    endif()
    pascal_argument(parameter model ${argument})
    set(heading "function ${operation}_${name}${parameter}: Boolean;")
    string(APPEND pascal_declarations "${heading}\n")
    string(APPEND pascal_definitions "${heading}\nbegin\n"
      "  Result := ZepOperate(${binds}, '${name}', ${model}, ${first}, ${last});\nend;\n\n")
  endforeach()
endforeach()

foreach(name IN LISTS selections)
  pascal_argument(parameter model ${selection_${name}})
  set(heading "function RetNomeBpl_${name}${parameter}: AnsiString;")
  string(APPEND pascal_declarations "${heading}\n")
  string(APPEND pascal_definitions "${heading}\nbegin\n"
    "  Result := ZepSelect('${name}', ${model});\nend;\n\n")
endforeach()

set(pascal_types_Text AnsiString)
set(pascal_types_Integer Integer)
set(pascal_types_Double Double)
set(pascal_types_Boolean Boolean)
set(pascal_c_types_Text PAnsiChar)
set(pascal_c_types_Integer Integer)
set(pascal_c_types_Double Double)
set(pascal_c_types_Boolean Integer)

# --- C# ---------------------------------------------------------------------
set(dotnet_types_Text string)
set(dotnet_types_Integer int)
set(dotnet_types_Double double)
set(dotnet_types_Boolean bool)
set(dotnet_c_types_Text byte[])
set(dotnet_c_types_Integer int)
set(dotnet_c_types_Double double)
set(dotnet_c_types_Boolean int)
set(dotnet_builders "")
set(python_builders "")

# --- The builders, in every language ------------------------------------------
foreach(builder IN LISTS builders)
  set(rows ${builder_${builder}})
  set(pascal_parameters "")
  set(pascal_c_parameters "")
  set(pascal_arguments "")
  set(dotnet_parameters "")
  set(dotnet_c_parameters "")
  set(dotnet_arguments "")
  set(python_parameters "")
  list(LENGTH rows count)
  while(count GREATER 0)
    list(POP_FRONT rows kind passing parameter)
    math(EXPR count "${count} - 3")
    if(NOT DEFINED pascal_types_${kind})
      message(FATAL_ERROR "generate: ${builder}: unknown parameter kind '${kind}'")
    endif()
    if(passing STREQUAL "ByRef")
      set(mode "var ")
    elseif(passing STREQUAL "ByValue")
      set(mode "")
      if(kind STREQUAL "Text")
        set(mode "const ")
      endif()
    else()
      message(FATAL_ERROR "generate: ${builder}: unknown passing '${passing}'")
    endif()
    if(kind STREQUAL "Text")
      set(pascal_argument "ZepText(${parameter})")
      set(dotnet_argument "Text(${parameter}, \"${parameter}\")")
    elseif(kind STREQUAL "Boolean")
      set(pascal_argument "Ord(${parameter})")
      set(dotnet_argument "${parameter} ? 1 : 0")
    else()
      set(pascal_argument "${parameter}")
      set(dotnet_argument "${parameter}")
    endif()
    list(APPEND pascal_parameters "${mode}${parameter}: ${pascal_types_${kind}}")
    list(APPEND pascal_c_parameters "${parameter}: ${pascal_c_types_${kind}}")
    list(APPEND pascal_arguments "${pascal_argument}")
    list(APPEND dotnet_parameters "${dotnet_types_${kind}} ${parameter}")
    list(APPEND dotnet_c_parameters "${dotnet_c_types_${kind}} ${parameter}")
    list(APPEND dotnet_arguments "${dotnet_argument}")
    list(APPEND python_parameters "(\"${kind}\", \"${parameter}\")")
  endwhile()

  # One parameter a line: the builders take up to seventeen.
  list(JOIN pascal_parameters ";\n  " pascal_parameters)
  list(JOIN pascal_c_parameters ";\n  " pascal_c_parameters)
  list(JOIN pascal_arguments ",\n    " pascal_arguments)
  list(JOIN dotnet_parameters ",\n            " dotnet_parameters)
  list(JOIN dotnet_c_parameters ",\n            " dotnet_c_parameters)
  list(JOIN dotnet_arguments ",\n                " dotnet_arguments)
  list(JOIN python_parameters ",\n        " python_parameters)
  set(heading "function ${builder}(\n  ${pascal_parameters}): Variant;")
  string(APPEND pascal_declarations "${heading}\n")
  string(APPEND pascal_imports
    "function zep_${builder}(\n  ${pascal_c_parameters}): Pointer;\n  ${convention}; external ZepLibrary;\n")
  string(APPEND pascal_definitions "${heading}\nbegin\n"
    "  Result := ZepBlock(zep_${builder}(\n    ${pascal_arguments}));\nend;\n\n")

  string(APPEND dotnet_builders
    "        [DllImport(Library, CallingConvention = CallingConvention.Winapi)]\n"
    "        static extern IntPtr zep_${builder}(\n            ${dotnet_c_parameters});\n\n"
    "        /// <summary>The block of ${builder}, one { key, value } a pair.</summary>\n"
    "        public static object[][] ${builder}(\n            ${dotnet_parameters})\n"
    "        {\n"
    "            return Block(zep_${builder}(\n                ${dotnet_arguments}));\n"
    "        }\n\n")

  # Python knows a builder by its operation: Params_<operation>_Zep00000.
  string(REGEX REPLACE "^Params_(.*)_Zep00000$" "\\1" operation ${builder})
  string(APPEND python_builders "    \"${operation}\": [\n        ${python_parameters}],\n")
endforeach()
string(REGEX REPLACE "\n\n$" "\n" pascal_definitions "${pascal_definitions}")
string(REGEX REPLACE "\n\n$" "\n" dotnet_builders "${dotnet_builders}")

# --- The files ------------------------------------------------------------------
# Writes `template` to `output` with each part line replaced; an output left
# unchanged keeps its time, so that nothing built from it is made again.
function(fill template output)
  file(READ ${template} content)
  foreach(part IN LISTS ARGN)
    string(TOUPPER ${part} marker)
    set(marker "@ZEP_${marker}@")
    string(FIND "${content}" "${marker}\n" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "generate: ${template} has no line ${marker}")
    endif()
    string(REPLACE "${marker}\n" "${${part}}" content "${content}")
  endforeach()
  if(content MATCHES "@ZEP_[A-Z_]+@")
    message(FATAL_ERROR "generate: ${template}: nothing fills ${CMAKE_MATCH_0}")
  endif()
  file(WRITE ${output}.new "${content}")
  file(COPY_FILE ${output}.new ${output} ONLY_IF_DIFFERENT)
  file(REMOVE ${output}.new)
endfunction()

fill(${PASCAL} ${PASCAL_OUTPUT} pascal_slot_variables pascal_declarations pascal_imports
     pascal_slot_table pascal_definitions)
fill(${DOTNET} ${DOTNET_OUTPUT} dotnet_builders)
fill(${PYTHON} ${PYTHON_OUTPUT} python_builders)
