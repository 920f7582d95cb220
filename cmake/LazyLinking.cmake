# orvane_link_lazily(<target> NAME <id> HEADERS <imported target> LIBRARIES <soname>... SYMBOLS <function>...)
#
# Links <target> to a group of shared libraries that the dynamic loader maps only when one of the
# listed functions is first called, instead of at every start. GStreamer alone is twenty libraries,
# and a start that never places a call pays about 3 ms to map and relocate them.
#
# Each listed function gets a jump through a table. The first call through any entry opens the
# libraries (in the order given), fills the whole table and goes on to the real function, so call
# sites stay as they are, variadic functions included. A function that the code calls but that is
# not listed stays undefined at link time: add it to SYMBOLS. The libraries' headers come from
# HEADERS (optional), an imported target of pkg_check_modules, whose libraries are not linked. Only x86-64 has
# the jump table; elsewhere the libraries are linked as usual.
set(ORVANE_LAZY_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/LazyLibraries.cpp.in)

function(orvane_link_lazily target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "NAME;HEADERS" "LIBRARIES;SYMBOLS")
  if(arg_HEADERS)
    target_include_directories(${target} SYSTEM PRIVATE $<TARGET_PROPERTY:${arg_HEADERS},INTERFACE_INCLUDE_DIRECTORIES>)
    target_compile_options(${target} PRIVATE $<TARGET_PROPERTY:${arg_HEADERS},INTERFACE_COMPILE_OPTIONS>)
  endif()
  if(NOT CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
    if(arg_HEADERS)
      target_link_libraries(${target} PRIVATE ${arg_HEADERS})
    endif()
    return()
  endif()

  set(LAZY_NAME ${arg_NAME})
  list(LENGTH arg_SYMBOLS LAZY_COUNT)
  set(LAZY_TABLE "")
  set(LAZY_STUBS "")
  set(LAZY_NAMES "")
  set(LAZY_LIBRARIES "")
  set(index 0)
  foreach(symbol IN LISTS arg_SYMBOLS)
    string(APPEND LAZY_TABLE "    .quad .Lorvane_${LAZY_NAME}_first_${index}\n")
    string(APPEND LAZY_STUBS
      "    .globl ${symbol}\n    .hidden ${symbol}\n    .type ${symbol}, @function\n"
      "${symbol}:\n    jmp *orvane_${LAZY_NAME}_table+${index}*8(%rip)\n"
      ".Lorvane_${LAZY_NAME}_first_${index}:\n    movl $${index}, %r11d\n    jmp .Lorvane_${LAZY_NAME}_resolve\n"
      "    .size ${symbol}, .-${symbol}\n")
    string(APPEND LAZY_NAMES "    \"${symbol}\",\n")
    math(EXPR index "${index} + 1")
  endforeach()
  foreach(library IN LISTS arg_LIBRARIES)
    string(APPEND LAZY_LIBRARIES "    \"${library}\",\n")
  endforeach()

  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_lazy_${LAZY_NAME}.cpp)
  configure_file(${ORVANE_LAZY_TEMPLATE} ${out} @ONLY)
  target_sources(${target} PRIVATE ${out})
  target_link_libraries(${target} PRIVATE ${CMAKE_DL_LIBS})
endfunction()
