# Composer tests: text rules and spelling with the real Enchant dictionaries, canSend, the emoji catalogue.
# Included from this folder's CMakeLists.txt; paths are relative to this file.
if(TARGET orvane_composer)
  foreach(_test tst_spelling tst_composer tst_emoji)
    qt_add_executable(${_test} ${CMAKE_CURRENT_LIST_DIR}/${_test}.cpp)
    target_link_libraries(${_test} PRIVATE orvane_composer Qt6::Test Qt6::Qml)
    add_test(NAME messaging_${_test} COMMAND ${_test})
  endforeach()
endif()
