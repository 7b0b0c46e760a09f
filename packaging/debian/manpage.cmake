# Writes zep-host's manual page from its --help, so that the two never differ.
#   cmake -DPROGRAM=zep-host -DVERSION=1.0.0 -DOUTPUT=zep-host.1 -P manpage.cmake
execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE help COMMAND_ERROR_IS_FATAL ANY)
# troff: a backslash is \e, a line that begins with a dot or quote is a request.
string(REPLACE "\\" "\\e" help "${help}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
string(REGEX REPLACE "\n$" "" help "${help}")
file(WRITE ${OUTPUT} ".TH ZEP-HOST 1 \"\" \"zep00001 ${VERSION}\" \"User Commands\"
.SH NAME
zep-host \\- check driver packages against the peripheral-binding module, and run its demo
.SH SYNOPSIS
.B zep-host
.I COMMAND
.RI [ ARGUMENTS ]
.SH DESCRIPTION
.nf
${help}
.fi
.SH SEE ALSO
The README of the zep00001 sources, and the examples under /usr/share/doc/zep00001/examples.
")
