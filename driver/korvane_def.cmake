# korvane.dll: the seventeen exports under their plain names, written into a module definition
# file. On 32-bit Windows the functions are stdcall, so their symbols carry the size of their
# arguments (_MODBUS_SetupConnect@16); the linker exports them without it (--kill-at), and the
# import library is made from the same file so that programs find the decorated symbols and
# import the plain names. Each second name is an export of the same entry.
#
# Entries: name:bytes of arguments (4 per 32-bit slot)[:main name, for a second name].
set(korvane_exports
  MODBUS_SetupConnect:16 SetupConnect:16:MODBUS_SetupConnect
  MODBUS_SetupDevice:4 MODBUS_SetupAdditional:12
  MODBUS_OpenPort:0 OpenPort:0:MODBUS_OpenPort
  MODBUS_ClosePort:0 ClosePort:0:MODBUS_ClosePort
  MODBUS_ReadHoldingRegisters:16 MODBUS_ReadInputRegisters:16 MODBUS_ReadSystemRegisters:16
  MODBUS_WriteSingleRegister:12 MODBUS_WriteSystemRegister:12 MODBUS_ResetModule:0
  MODBUS_exchange:8
  MODBUS_DllVersion:4 Korvane_DllVersion:4:MODBUS_DllVersion)

set(def "LIBRARY korvane.dll\nEXPORTS\n")
foreach(entry IN LISTS korvane_exports)
  string(REPLACE ":" ";" parts "${entry}")
  list(GET parts 0 name)
  list(GET parts 1 bytes)
  list(LENGTH parts n)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(suffix "@${bytes}")
  else()
    set(suffix "")
  endif()
  if(n EQUAL 3)
    list(GET parts 2 main)
    string(APPEND def "  ${name}${suffix} = ${main}${suffix}\n")
  else()
    string(APPEND def "  ${name}${suffix}\n")
  endif()
endforeach()
set(korvane_def ${CMAKE_CURRENT_BINARY_DIR}/korvane.def)
file(CONFIGURE OUTPUT ${korvane_def} CONTENT "${def}")

target_sources(korvane PRIVATE ${korvane_def})
set_target_properties(korvane PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${VANTOR_APP_DIR})
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  target_link_options(korvane PRIVATE -Wl,--kill-at)
  # The linker's own import library would lose the decoration along with the export names.
  add_custom_command(TARGET korvane POST_BUILD
    COMMAND ${CMAKE_DLLTOOL} --input-def ${korvane_def} --dllname korvane.dll --kill-at
            --output-lib $<TARGET_LINKER_FILE:korvane>
    COMMENT "Import library of korvane.dll for stdcall callers")
endif()
