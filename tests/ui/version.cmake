# `zelmora --version` prints "zelmora VERSION" and exits 0 with no display to
# connect to: Qt, which would fail without one, is never started.
# Variables: PROGRAM, VERSION.
unset(ENV{DISPLAY})
unset(ENV{WAYLAND_DISPLAY})
unset(ENV{QT_QPA_PLATFORM})
execute_process(COMMAND "${PROGRAM}" --version RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc STREQUAL "0" OR NOT out STREQUAL "zelmora ${VERSION}\n" OR NOT err STREQUAL "")
  message(FATAL_ERROR "zelmora --version: exit status ${rc}, printed \"${out}\", errors \"${err}\"")
endif()
