# Fails when an object file holds any x87 instruction. The 32-bit build must do
# all float arithmetic in SSE, or it rounds differently from every other build;
# the machine that builds it cannot run it, so the objects are read instead.
# cmake -DOBJDUMP=... -DOBJECTS="a.obj|b.obj" -P check_no_x87.cmake
string(REPLACE "|" ";" objects "${OBJECTS}")
set(total 0)
foreach(obj IN LISTS objects)
  execute_process(COMMAND "${OBJDUMP}" -d --no-show-raw-insn "${obj}"
                  OUTPUT_VARIABLE asm RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} failed on ${obj}: ${err}")
  endif()
  # Lines are "  addr:<TAB>mnemonic operands"; every x87 mnemonic starts with f.
  string(REGEX MATCHALL "\n *[0-9a-f]+:\t[a-z]" insns "${asm}")
  list(LENGTH insns n)
  math(EXPR total "${total} + ${n}")
  string(REGEX MATCHALL "\n *[0-9a-f]+:\tf[a-z0-9]*" hits "${asm}")
  if(hits)
    string(REGEX REPLACE "\n *[0-9a-f]+:\t" " " hits "${hits}")
    message(FATAL_ERROR "x87 instructions in ${obj}:${hits}")
  endif()
endforeach()
# A disassembly that yields no instructions at all would make this check vacuous.
if(total EQUAL 0)
  message(FATAL_ERROR "no instructions found in: ${OBJECTS}")
endif()
