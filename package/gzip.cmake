# Compresses a file as Debian installs manual pages and changelogs: gzip -9, with no name or
# time stamp in the header, so the same input always gives the same bytes.
#
#   cmake -DINPUT=<file> -DOUTPUT=<file.gz> -P gzip.cmake
execute_process(COMMAND gzip -9 -n -c ${INPUT} OUTPUT_FILE ${OUTPUT}.tmp RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip could not compress ${INPUT} (status ${status})")
endif()
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
