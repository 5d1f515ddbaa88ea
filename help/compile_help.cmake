# Compiles the help pages into yrk.chm (run with cmake -P by CMakeLists.txt).
# The sources are UTF-8 and declare it; the compiled pages are Windows-1251
# and declare that instead, so a browser and the help viewer read them alike.
#   -DSOURCE_DIR= -DWORK_DIR= -DOUTPUT= -DCHMCMD= -DICONV=
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
file(GLOB sources ${SOURCE_DIR}/*.htm ${SOURCE_DIR}/*.hhc ${SOURCE_DIR}/*.hhk ${SOURCE_DIR}/*.hhp)
foreach(source IN LISTS sources)
  get_filename_component(name ${source} NAME)
  file(READ ${source} text)
  string(REPLACE "charset=utf-8" "charset=windows-1251" text "${text}")
  file(WRITE ${WORK_DIR}/${name}.utf8 "${text}")
  # iconv fails on a character Windows-1251 does not have, rather than
  # putting a question mark into the page.
  execute_process(
    COMMAND ${ICONV} -f UTF-8 -t WINDOWS-1251 ${WORK_DIR}/${name}.utf8
    OUTPUT_FILE ${WORK_DIR}/${name}
    ERROR_VARIABLE problem
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${name}: cannot be written in Windows-1251: ${problem}")
  endif()
  file(REMOVE ${WORK_DIR}/${name}.utf8)
endforeach()

execute_process(
  COMMAND ${CHMCMD} --no-html-scan yrk.hhp
  WORKING_DIRECTORY ${WORK_DIR}
  OUTPUT_VARIABLE report
  ERROR_VARIABLE report
  RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT EXISTS ${WORK_DIR}/yrk.chm)
  message(FATAL_ERROR "chmcmd failed:\n${report}")
endif()
file(COPY_FILE ${WORK_DIR}/yrk.chm ${OUTPUT})
