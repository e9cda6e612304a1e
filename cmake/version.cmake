# The version and names, read from resources/version.h, the one place they are written; the
# Windows resources include that header, everything else takes these variables.
file(STRINGS ${CMAKE_SOURCE_DIR}/resources/version.h version_lines ENCODING UTF-8
     REGEX "^#define TAVRIN_[A-Z_]+ ")
foreach(line IN LISTS version_lines)
    if(line MATCHES "^#define (TAVRIN_[A-Z_]+) \"(.*)\"$")
        set(${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
    elseif(line MATCHES "^#define TAVRIN_VERSION_NUMBERS ([0-9]+), ([0-9]+), ([0-9]+), ([0-9]+)$")
        set(TAVRIN_VERSION_DOTTED
            "${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${CMAKE_MATCH_3}.${CMAKE_MATCH_4}")
    endif()
endforeach()
if(NOT TAVRIN_VERSION_TEXT OR NOT TAVRIN_PRODUCT_NAME OR NOT TAVRIN_VERSION_DOTTED)
    message(FATAL_ERROR "resources/version.h: a TAVRIN_ definition is missing")
endif()
