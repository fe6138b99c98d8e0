# Refuses a LUMIVO_UPDATE_HOST that is not a host with an optional port, by the
# one rule that tools/publish-update.sh applies to its --host as well, so a trial
# build never names a host that no published folder can announce.
# Included by src/update/WriteUpdateHost.cmake; `cmake -DLUMIVO_UPDATE_HOST=HOST -P`
# on this file checks a host alone.
execute_process(
    COMMAND sh "${CMAKE_CURRENT_LIST_DIR}/../tools/check-update-host.sh" "${LUMIVO_UPDATE_HOST}"
    RESULT_VARIABLE lumivo_host_status
    ERROR_VARIABLE lumivo_host_reason
    ERROR_STRIP_TRAILING_WHITESPACE)
if(NOT lumivo_host_status EQUAL 0)
    message(FATAL_ERROR "LUMIVO_UPDATE_HOST must be HOST or HOST:PORT: ${lumivo_host_reason}")
endif()
