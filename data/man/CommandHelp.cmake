# Writes a help2man include file: a COMMANDS section that holds each command's own help, then the
# static sections of the page, so that the man page describes every option of every command as
# the program does.
#   cmake -DPROGRAM=kavrune-cli -DCOMMANDS="read;get" -DSTATIC=page.h2m -DOUTPUT=out.h2m -P CommandHelp.cmake
file(READ ${STATIC} static)
# The section goes before the static ones, so that it follows OPTIONS; what precedes the first
# section is a comment.
string(FIND "${static}" "\n[" at)
string(SUBSTRING "${static}" 0 ${at} text)
string(SUBSTRING "${static}" ${at} -1 static)
string(APPEND text "\n[COMMANDS]\n")
foreach(command IN LISTS COMMANDS)
  execute_process(COMMAND ${PROGRAM} help ${command} OUTPUT_VARIABLE help RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} help ${command} failed")
  endif()
  # roff: backslashes and minus signs escaped, no line taken for a request.
  string(REPLACE "\\" "\\e" help "${help}")
  string(REPLACE "-" "\\-" help "${help}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
  string(APPEND text ".SS ${command}\n.nf\n${help}.fi\n")
endforeach()
file(WRITE ${OUTPUT} "${text}${static}")
