# Writes the update library's modUpdateHost.h: the update server named by
# LUMIVO_UPDATE_HOST, or the program's placeholder when that is empty, and the
# public key that signs the updates, LUMIVO_UPDATE_PUBKEY (the base64 line of a
# minisign .pub file, or the absolute path of that file), or none. A host goes
# through the one check in cmake/LumivoUpdateHost.cmake first.
# src/update/CMakeLists.txt includes this file and writes the build's header;
#   cmake -DLUMIVO_UPDATE_HOST=HOST -DLUMIVO_UPDATE_PUBKEY=KEY -DOUTPUT=FILE -P WriteUpdateHost.cmake
# writes one header alone, as test_update_host does with a trial host and key.

# The key line of pubkey, a key line itself or the path of a .pub file; "" for none.
function(lumivo_update_key_line pubkey out)
    # base64 of "Ed", an 8-byte key id and a 32-byte Ed25519 key.
    set(key_line "^RW[QRST][A-Za-z0-9+/][A-Za-z0-9+/]+$")
    set(line "")
    if(pubkey MATCHES "${key_line}")
        set(line "${pubkey}")
    elseif(NOT pubkey STREQUAL "")
        if(NOT IS_ABSOLUTE "${pubkey}" OR NOT EXISTS "${pubkey}" OR IS_DIRECTORY "${pubkey}")
            message(FATAL_ERROR "LUMIVO_UPDATE_PUBKEY must be the key line of a minisign public "
                                "key (RW...) or the absolute path of its .pub file: ${pubkey}")
        endif()
        file(STRINGS "${pubkey}" lines LIMIT_INPUT 4096)
        foreach(candidate IN LISTS lines)
            string(STRIP "${candidate}" candidate)
            if(candidate MATCHES "${key_line}")
                set(line "${candidate}")
                break()
            endif()
        endforeach()
    endif()
    string(LENGTH "${line}" length)
    if(NOT pubkey STREQUAL "" AND NOT length EQUAL 56)
        message(FATAL_ERROR "LUMIVO_UPDATE_PUBKEY names no minisign public key: ${pubkey}")
    endif()
    set(${out} "${line}" PARENT_SCOPE)
endfunction()

function(lumivo_write_update_host host pubkey output)
    if(host STREQUAL "")
        set(LUMIVO_UPDATE_HOST_VALUE "update.lumivo.example")
    else()
        set(LUMIVO_UPDATE_HOST "${host}")
        include(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../../cmake/LumivoUpdateHost.cmake)
        set(LUMIVO_UPDATE_HOST_VALUE "${host}")
    endif()
    lumivo_update_key_line("${pubkey}" LUMIVO_UPDATE_PUBKEY_VALUE)
    configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/modUpdateHost.h.in "${output}" @ONLY)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    if(NOT OUTPUT)
        message(FATAL_ERROR "OUTPUT must name the header to write")
    endif()
    lumivo_write_update_host("${LUMIVO_UPDATE_HOST}" "${LUMIVO_UPDATE_PUBKEY}" "${OUTPUT}")
endif()
