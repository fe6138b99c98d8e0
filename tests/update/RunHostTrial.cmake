# Configures the project with LUMIVO_UPDATE_HOST set as the README's trial build
# does, builds only the probe and runs it.
set(host "trial.lumivo.test:8080")
execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${BINARY} -DCMAKE_BUILD_TYPE=Debug
            -DCMAKE_CXX_COMPILER=${COMPILER} "-DCMAKE_PREFIX_PATH=${PREFIX_PATH}"
            -DLUMIVO_UPDATE_HOST=${host} -DLUMIVO_HOST_PROBE=ON
    RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "configuring the trial build failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BINARY} --target test_update_host -j2
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "building the trial probe failed")
endif()
execute_process(COMMAND ${BINARY}/test_update_host RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "the trial build did not ask ${host}")
endif()
