# The About page: the picture registry and the window's About tab are tested
# with Qt Test; the installation of the programs, menu entry and icons too.

if(ZELMORA_GUI)
  # `cmake --install` puts the programs, the menu entry and the icons in place.
  set(programs zelmora-cli)
  if(TARGET zelmora)
    list(APPEND programs zelmora)
  endif()
  string(REPLACE ";" "$<SEMICOLON>" programs_arg "${programs}")
  add_test(NAME desktop_install
           COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
                   -DPREFIX=${CMAKE_CURRENT_BINARY_DIR}/install-check
                   "-DPROGRAMS=${programs_arg}"
                   -P ${CMAKE_CURRENT_SOURCE_DIR}/check_install.cmake)
endif()

if(ZELMORA_GUI AND TARGET zelmora_ui)
  set(CMAKE_AUTOMOC ON)
  foreach(name test_picture_formats test_about_page)
    add_executable(${name} ${name}.cpp)
    target_link_libraries(${name} PRIVATE zelmora_ui Qt6::Test)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)
  endforeach()
endif()
