# Proves the x87 guard can fail: a 32-bit object built for x87 must be rejected,
# the same code built for SSE accepted.
# cmake -DCXX=i686-w64-mingw32-g++ -DOBJDUMP=... -DGUARD=check_no_x87.cmake -DWORK=dir -P
file(MAKE_DIRECTORY "${WORK}")
file(WRITE "${WORK}/scale.cpp"
     "void scale(float *p, int n) { *p = float(double(*p) * double(float(n)) + 0.5); }\n")
foreach(mode sse 387)
  execute_process(COMMAND "${CXX}" -O2 -msse2 -mfpmath=${mode} -c "${WORK}/scale.cpp"
                          -o "${WORK}/scale_${mode}.obj" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cannot compile the probe with -mfpmath=${mode}")
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" -DOBJDUMP=${OBJDUMP}
                          -DOBJECTS=${WORK}/scale_${mode}.obj -P "${GUARD}"
                  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
  if(mode STREQUAL "sse" AND NOT rc EQUAL 0)
    message(FATAL_ERROR "the guard rejected SSE code")
  elseif(mode STREQUAL "387" AND rc EQUAL 0)
    message(FATAL_ERROR "the guard accepted x87 code")
  endif()
endforeach()
