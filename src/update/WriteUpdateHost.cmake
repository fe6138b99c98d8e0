# Writes the update library's modUpdateHost.h: the update server named by
# LUMIVO_UPDATE_HOST, or the program's placeholder when that is empty. A host
# goes through the one check in cmake/LumivoUpdateHost.cmake first.
# src/update/CMakeLists.txt includes this file and writes the build's header;
#   cmake -DLUMIVO_UPDATE_HOST=HOST -DOUTPUT=FILE -P WriteUpdateHost.cmake
# writes one header alone, as test_update_host does with a trial host.
function(lumivo_write_update_host host output)
    if(host STREQUAL "")
        set(LUMIVO_UPDATE_HOST_VALUE "update.lumivo.example")
    else()
        set(LUMIVO_UPDATE_HOST "${host}")
        include(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../../cmake/LumivoUpdateHost.cmake)
        set(LUMIVO_UPDATE_HOST_VALUE "${host}")
    endif()
    configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/modUpdateHost.h.in "${output}" @ONLY)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    if(NOT OUTPUT)
        message(FATAL_ERROR "OUTPUT must name the header to write")
    endif()
    lumivo_write_update_host("${LUMIVO_UPDATE_HOST}" "${OUTPUT}")
endif()
