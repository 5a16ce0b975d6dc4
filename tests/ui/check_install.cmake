# Installs the build into a scratch prefix and checks that the programs, the
# desktop menu entry and its icons land where a desktop looks for them.
# Variables: BUILD_DIR, PREFIX, PROGRAMS (list of program names).
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed:\n${out}")
endif()

set(expected
  share/applications/zelmora.desktop
  share/icons/hicolor/16x16/apps/zelmora.png
  share/icons/hicolor/48x48/apps/zelmora.png)
foreach(program IN LISTS PROGRAMS)
  list(APPEND expected bin/${program})
endforeach()
foreach(path IN LISTS expected)
  if(NOT EXISTS "${PREFIX}/${path}")
    message(FATAL_ERROR "not installed: ${path}\n${out}")
  endif()
endforeach()
foreach(program IN LISTS PROGRAMS)
  execute_process(COMMAND test -f "${PREFIX}/bin/${program}" -a -x "${PREFIX}/bin/${program}"
                  RESULT_VARIABLE not_executable)
  if(not_executable)
    message(FATAL_ERROR "not an executable file: bin/${program}")
  endif()
endforeach()

# The entry starts the installed program with the file a file manager opens
# with it (%f: one file, or none) and names the installed icon.
file(STRINGS "${PREFIX}/share/applications/zelmora.desktop" lines)
list(FIND lines "Exec=zelmora %f" exec_at)
list(FIND lines "Icon=zelmora" icon_at)
if(exec_at LESS 0 OR icon_at LESS 0)
  message(FATAL_ERROR "desktop entry does not start zelmora with icon zelmora")
endif()
find_program(VALIDATE desktop-file-validate)
if(NOT VALIDATE)
  message(FATAL_ERROR "desktop-file-validate missing: install the package desktop-file-utils (scripts/install-deps)")
endif()
execute_process(COMMAND "${VALIDATE}" "${PREFIX}/share/applications/zelmora.desktop"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT out STREQUAL "")
  message(FATAL_ERROR "desktop-file-validate:\n${out}")
endif()
message(STATUS "installed: ${expected}")
