# Makes the man page from its source:
#   cmake -DSCDOC=scdoc -DSOURCE=vek.1.scd -DVERSION=3.14.0 -DOUTPUT=vek.1 -P ManPage.cmake
# scdoc writes roff that turns hyphenation and justification off, but before
# .TH, whose macro turns them on again; they are turned off once more after
# it, so that no file name, option or command is split at a line's end.
cmake_minimum_required(VERSION 3.20)
file(READ ${SOURCE} text)
string(REPLACE "@VERSION@" "${VERSION}" text "${text}")
file(WRITE ${OUTPUT}.scd "${text}")
execute_process(COMMAND ${SCDOC} INPUT_FILE ${OUTPUT}.scd OUTPUT_VARIABLE roff ERROR_VARIABLE error
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "scdoc could not read ${SOURCE}: ${error}")
endif()
string(REGEX REPLACE "(\n\\.TH [^\n]*\n)" "\\1.nh\n.ad l\n" roff "${roff}")
file(WRITE ${OUTPUT} "${roff}")
