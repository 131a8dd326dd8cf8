# Lays out a sample distribution medium in the build tree: the program at its root and the
# driver folders with our own test package and stand-in installers. Like a real package, the
# Vista_32 folder gets an x86 installer and Vista_64 an x64 one, so the stand-in is also built
# for the machine this build is not for.
include(ExternalProject)

set(QB7_MEDIUM_DIR ${CMAKE_BINARY_DIR}/medium)
set(QB7_PACKAGE_DIR ${CMAKE_SOURCE_DIR}/tests/package)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(other_machine i686)
else()
  set(other_machine x86_64)
endif()
set(other_standin_dir ${CMAKE_BINARY_DIR}/dpinst_standin-${other_machine})
ExternalProject_Add(dpinst_standin_${other_machine}
  SOURCE_DIR ${CMAKE_SOURCE_DIR}/tools/dpinst_standin
  BINARY_DIR ${other_standin_dir}
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/toolchain-${other_machine}-mingw.cmake
    -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
  INSTALL_COMMAND ""
  # Its own build is incremental; this only lets it see edits of the stand-in's source.
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${other_standin_dir}/dpinst_standin.exe)

if(other_machine STREQUAL "x86_64")
  set(standin_x86 $<TARGET_FILE:dpinst_standin>)
  set(standin_x64 ${other_standin_dir}/dpinst_standin.exe)
else()
  set(standin_x86 ${other_standin_dir}/dpinst_standin.exe)
  set(standin_x64 $<TARGET_FILE:dpinst_standin>)
endif()

set(driver_folders Win2000_WinXP WinXP_64 Vista_32 Vista_64)
set(package_commands)
foreach(folder ${driver_folders})
  list(APPEND package_commands
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QB7_MEDIUM_DIR}/Driver/${folder}
    COMMAND ${CMAKE_COMMAND} -E copy ${QB7_PACKAGE_DIR}/Ax88772.inf ${QB7_PACKAGE_DIR}/Ax88772.cat
            ${QB7_MEDIUM_DIR}/Driver/${folder}/)
endforeach()

add_custom_target(sample_medium ALL
  ${package_commands}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:QB7_LX450> ${QB7_MEDIUM_DIR}/
  COMMAND ${CMAKE_COMMAND} -E copy ${standin_x86} ${QB7_MEDIUM_DIR}/Driver/Vista_32/DPInst32.exe
  COMMAND ${CMAKE_COMMAND} -E copy ${standin_x64} ${QB7_MEDIUM_DIR}/Driver/Vista_64/DPInst64.exe
  DEPENDS QB7_LX450 dpinst_standin dpinst_standin_${other_machine}
          ${QB7_PACKAGE_DIR}/Ax88772.inf ${QB7_PACKAGE_DIR}/Ax88772.cat
  VERBATIM)
