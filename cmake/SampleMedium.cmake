# Lays out a sample distribution medium in the build tree: the program at its root and the
# driver folders with our own test package and stand-in installers.
set(QB7_MEDIUM_DIR ${CMAKE_BINARY_DIR}/medium)
set(QB7_PACKAGE_DIR ${CMAKE_SOURCE_DIR}/tests/package)

add_custom_target(sample_medium ALL
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QB7_MEDIUM_DIR}/Driver/Win2000_WinXP
          ${QB7_MEDIUM_DIR}/Driver/WinXP_64 ${QB7_MEDIUM_DIR}/Driver/Vista_32
          ${QB7_MEDIUM_DIR}/Driver/Vista_64
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:QB7_LX450> ${QB7_MEDIUM_DIR}/
  COMMAND ${CMAKE_COMMAND} -E copy ${QB7_PACKAGE_DIR}/Ax88772.inf ${QB7_MEDIUM_DIR}/Driver/Win2000_WinXP/
  COMMAND ${CMAKE_COMMAND} -E copy ${QB7_PACKAGE_DIR}/Ax88772.inf ${QB7_MEDIUM_DIR}/Driver/WinXP_64/
  COMMAND ${CMAKE_COMMAND} -E copy ${QB7_PACKAGE_DIR}/Ax88772.inf ${QB7_MEDIUM_DIR}/Driver/Vista_32/
  COMMAND ${CMAKE_COMMAND} -E copy ${QB7_PACKAGE_DIR}/Ax88772.inf ${QB7_MEDIUM_DIR}/Driver/Vista_64/
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:dpinst_standin>
          ${QB7_MEDIUM_DIR}/Driver/Vista_32/DPInst32.exe
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:dpinst_standin>
          ${QB7_MEDIUM_DIR}/Driver/Vista_64/DPInst64.exe
  DEPENDS QB7_LX450 dpinst_standin ${QB7_PACKAGE_DIR}/Ax88772.inf
  VERBATIM)
