# Portable part of the user interface: the main window's handlers (TForm1) and
# its components, written against FormView and OsServices. Every ui/*.cpp is
# part of it; every ui/*_test.cpp is a native and Windows test of it.
file(GLOB ui_core_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
file(GLOB ui_core_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/testing/*_test.cpp)
list(REMOVE_ITEM ui_core_sources ${ui_core_tests})
add_library(quillset_ui_core STATIC ${ui_core_sources})
target_link_libraries(quillset_ui_core PUBLIC quillset_backup quillset_datafile quillset_store
  quillset_engine quillset_settings quillset_schedule quillset_locale quillset_base)
if(ui_core_tests)
  # Real files under the test: the host's OS services natively, the Win32
  # ones under Wine.
  set(ui_test_libs quillset_ui_core quillset_real_files_test_os)
  quillset_add_test(ui_core_test SOURCES ${ui_core_tests} LIBS ${ui_test_libs})
endif()
