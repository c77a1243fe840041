# The broker's deployment values (scripts/deployment.env, shared with the scripts) as CMake variables:
# QV_BROKER_VHOST, QV_BROKER_USER, QV_BROKER_PASSWORD, QV_SIGNALS_EXCHANGE, QV_RESPONSES_EXCHANGE.
set(QV_DEPLOYMENT_FILE ${PROJECT_SOURCE_DIR}/scripts/deployment.env)
file(STRINGS ${QV_DEPLOYMENT_FILE} _qv_deployment_lines REGEX "^[A-Z_]+=")
foreach(_qv_line IN LISTS _qv_deployment_lines)
  string(REGEX MATCH "^([A-Z_]+)=(.*)$" _qv_match "${_qv_line}")
  set(${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
endforeach()
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${QV_DEPLOYMENT_FILE})
