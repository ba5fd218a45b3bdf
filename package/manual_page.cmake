# Turns one manual page from scdoc's form into roff. DATE_EPOCH, when given, is the date the
# page shows (the last commit that changed its source), so a page built twice is the same;
# SOURCE_DATE_EPOCH in the environment comes first, as for every reproducible build.
#
#   cmake -DSCDOC=<scdoc> -DINPUT=<page.scd> -DOUTPUT=<page> [-DDATE_EPOCH=<seconds>] -P manual_page.cmake
foreach(variable SCDOC INPUT OUTPUT)
  if(NOT ${variable})
    message(FATAL_ERROR "manual_page.cmake: pass -D${variable}=...")
  endif()
endforeach()
if(DATE_EPOCH AND NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} ${DATE_EPOCH})
endif()
execute_process(COMMAND ${SCDOC} INPUT_FILE ${INPUT} OUTPUT_FILE ${OUTPUT}.tmp RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "scdoc could not read ${INPUT} (status ${status}; its message is above)")
endif()
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
