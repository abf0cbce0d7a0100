# The demo host installation: a registry file that registers QeltOne in the build folder and
# QeltOne's settings files naming the demo database ${PROJECT_BINARY_DIR}/demo/QeltOne.db.
# Point QELT_REGISTRY at demo/host/QeltOne.reg (scripts/demo-env.sh does) to use it.

set(QELT_DEMO_DATA_DIR ${PROJECT_BINARY_DIR}/demo)
set(QELT_DEMO_HOST_DIR ${PROJECT_BINARY_DIR}/demo/host)

# Registry files escape backslashes and quotes inside strings.
function(qelt_registry_escape text out)
    string(REPLACE "\\" "\\\\" text "${text}")
    string(REPLACE "\"" "\\\"" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()
qelt_registry_escape("${QELT_DEMO_HOST_DIR}/QeltOne.exe" QELT_DEMO_HOST_EXE_ESCAPED)
qelt_registry_escape("${QELT_DEMO_HOST_DIR}" QELT_DEMO_HOST_DIR_ESCAPED)

foreach(file QeltOne.reg QeltOnePaths.ini QeltOne.ini)
    configure_file(${PROJECT_SOURCE_DIR}/demo/host/${file}.in ${QELT_DEMO_HOST_DIR}/${file} @ONLY)
endforeach()
