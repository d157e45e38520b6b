# cmake -DX64=.../importador.exe -DX86=.../importador.exe -DREADME=LEIA-ME.txt
#       -DOUTPUT=importador-windows.zip -P pack.cmake
#
# What the shop receives: both builds of the exe, one for each architecture
# of the client library the shop has, and the README at the top.
foreach(input X64 X86 README OUTPUT)
  if(NOT ${input})
    message(FATAL_ERROR "pack.cmake: -D${input}= is missing")
  endif()
endforeach()
get_filename_component(output "${OUTPUT}" ABSOLUTE)
set(stage "${output}.d")
file(REMOVE_RECURSE "${stage}")
file(MAKE_DIRECTORY "${stage}/x64" "${stage}/x86")
file(COPY_FILE "${X64}" "${stage}/x64/importador.exe")
file(COPY_FILE "${X86}" "${stage}/x86/importador.exe")
file(COPY_FILE "${README}" "${stage}/LEIA-ME.txt")
file(REMOVE "${output}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${output}" --format=zip
                        LEIA-ME.txt x64/importador.exe x86/importador.exe
                WORKING_DIRECTORY "${stage}" COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE_RECURSE "${stage}")
message(STATUS "Packed ${output}")
