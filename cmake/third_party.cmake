# The libraries the project takes from elsewhere, each defined once as an INTERFACE target:
#   qef_cli11  the command-line parser CLI11 (Debian: libcli11-dev)
#   qef_json   the JSON library nlohmann-json (Debian: nlohmann-json3-dev)
# Both are header-only. A native build finds them through their CMake packages. A cross build
# cannot put the build machine's /usr/include on its include path (its C library headers would
# hide the target's), so it copies just the libraries' own header folders into the build tree.
# QEF_CLI11_INCLUDE_DIR and QEF_JSON_INCLUDE_DIR point to other copies when set.

set(QEF_CLI11_INCLUDE_DIR "" CACHE PATH "Folder holding CLI/CLI.hpp; empty: found")
set(QEF_JSON_INCLUDE_DIR "" CACHE PATH "Folder holding nlohmann/json.hpp; empty: found")

# Defines `target` from the folder `include_dir` or, when that is empty, from `package`'s
# `imported` target; a cross build stages `subfolder` (found next to `header`) instead.
function(qef_header_library target include_dir package imported header subfolder)
  add_library(${target} INTERFACE)
  if(include_dir)
    target_include_directories(${target} SYSTEM INTERFACE ${include_dir})
  elseif(NOT CMAKE_CROSSCOMPILING)
    find_package(${package} CONFIG REQUIRED)
    target_link_libraries(${target} INTERFACE ${imported})
  else()
    find_path(${target}_host_dir ${header} NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    set(staged ${CMAKE_BINARY_DIR}/third_party/${target})
    file(COPY ${${target}_host_dir}/${subfolder} DESTINATION ${staged})
    target_include_directories(${target} SYSTEM INTERFACE ${staged})
  endif()
endfunction()

qef_header_library(qef_cli11 "${QEF_CLI11_INCLUDE_DIR}" CLI11 CLI11::CLI11 CLI/CLI.hpp CLI)
qef_header_library(qef_json "${QEF_JSON_INCLUDE_DIR}" nlohmann_json nlohmann_json::nlohmann_json
                   nlohmann/json.hpp nlohmann)
