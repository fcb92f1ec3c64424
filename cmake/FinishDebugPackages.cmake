# CPack post-build script: finishes the debug symbol packages just made (see
# packaging/debian/finish_dbgsym.sh).
set(ddebs ${CPACK_PACKAGE_FILES})
list(FILTER ddebs INCLUDE REGEX "\\.ddeb$")
if(ddebs)
  execute_process(COMMAND "${CPACK_OSTRAVELK_FINISH_DBGSYM}" ${ddebs} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "finishing the debug symbol packages failed")
  endif()
endif()
