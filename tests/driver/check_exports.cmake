# Fails unless the library's dynamic symbol table defines exactly the seventeen export names.
execute_process(COMMAND nm -D --defined-only ${LIBRARY} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${out}")
set(names)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^.* " "" name "${line}")
  list(APPEND names ${name})
endforeach()
list(SORT names)
set(expected ClosePort Korvane_DllVersion MODBUS_ClosePort MODBUS_DllVersion MODBUS_OpenPort
    MODBUS_ReadHoldingRegisters MODBUS_ReadInputRegisters MODBUS_ReadSystemRegisters MODBUS_ResetModule
    MODBUS_SetupAdditional MODBUS_SetupConnect MODBUS_SetupDevice MODBUS_WriteSingleRegister
    MODBUS_WriteSystemRegister MODBUS_exchange OpenPort SetupConnect)
list(SORT expected)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "exported: ${names}\nexpected: ${expected}")
endif()
