# One interface target carries the language standard and the warning set for every target.
add_library(velmora_options INTERFACE)
target_compile_features(velmora_options INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
target_compile_options(velmora_options INTERFACE -Wall -Wextra -Wpedantic)
if(VELMORA_WERROR)
    target_compile_options(velmora_options INTERFACE -Werror)
endif()

# velmora_add_library(name dir deps...): one static library per subsystem folder.
# Sources are globbed so that adding a file to a subsystem needs no CMake edit.
function(velmora_add_library name)
    file(GLOB _srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    add_library(${name} STATIC ${_srcs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC velmora_options ${ARGN})
endfunction()
