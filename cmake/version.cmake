# The version lives in res/version.h alone: the resource script reads it there,
# and this reads it for everything the build names or stamps with a version
# (the project, the installer, the portable zip). Sets TB_VERSION ("1.0.0.0")
# and TB_VERSION_MAJOR .. TB_VERSION_BUILD.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/../res/version.h _tb_version_lines
     REGEX "^#define TB_VERSION_")
foreach(_part MAJOR MINOR PATCH BUILD)
    string(REGEX MATCH "#define TB_VERSION_${_part} ([0-9]+)" _match "${_tb_version_lines}")
    if(NOT _match)
        message(FATAL_ERROR "res/version.h has no TB_VERSION_${_part}")
    endif()
    set(TB_VERSION_${_part} ${CMAKE_MATCH_1})
endforeach()
set(TB_VERSION
    "${TB_VERSION_MAJOR}.${TB_VERSION_MINOR}.${TB_VERSION_PATCH}.${TB_VERSION_BUILD}")
# The text the version block shows must say the same as the numbers.
string(REGEX MATCH "#define TB_VERSION_TEXT \"([^\"]*)\"" _match "${_tb_version_lines}")
if(NOT CMAKE_MATCH_1 STREQUAL TB_VERSION)
    message(FATAL_ERROR "res/version.h: TB_VERSION_TEXT \"${CMAKE_MATCH_1}\" "
                        "differs from the numbers ${TB_VERSION}")
endif()
# The manifest is embedded as it is, so it cannot read the header; its
# assembly identity is held to the same version here instead.
file(READ ${CMAKE_CURRENT_LIST_DIR}/../res/app.manifest _tb_manifest)
string(REGEX MATCH "<assemblyIdentity[^>]* version=\"([0-9.]+)\"" _match "${_tb_manifest}")
if(NOT CMAKE_MATCH_1 STREQUAL TB_VERSION)
    message(FATAL_ERROR "res/app.manifest: assembly version \"${CMAKE_MATCH_1}\" "
                        "differs from res/version.h (${TB_VERSION})")
endif()
