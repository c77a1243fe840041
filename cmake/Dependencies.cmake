# Third-party libraries, the same set for the Linux and the Windows build.
# spdlog and fmt are used header-only in both, so they configure alike.
find_package(Threads REQUIRED)

find_path(SPDLOG_INCLUDE_DIR spdlog/spdlog.h REQUIRED)
find_path(FMT_INCLUDE_DIR fmt/format.h REQUIRED)
add_library(qv_spdlog INTERFACE)
target_include_directories(qv_spdlog SYSTEM INTERFACE ${SPDLOG_INCLUDE_DIR} ${FMT_INCLUDE_DIR})
target_compile_definitions(qv_spdlog INTERFACE SPDLOG_HEADER_ONLY FMT_HEADER_ONLY)
target_link_libraries(qv_spdlog INTERFACE Threads::Threads)

find_package(pugixml REQUIRED)

find_path(RABBITMQ_INCLUDE_DIR amqp.h REQUIRED)
find_library(RABBITMQ_LIBRARY NAMES rabbitmq librabbitmq.4 REQUIRED)
add_library(qv_rabbitmq INTERFACE)
target_include_directories(qv_rabbitmq SYSTEM INTERFACE ${RABBITMQ_INCLUDE_DIR})
target_link_libraries(qv_rabbitmq INTERFACE ${RABBITMQ_LIBRARY})
if(WIN32)
  target_compile_definitions(qv_rabbitmq INTERFACE AMQP_STATIC)
  target_link_libraries(qv_rabbitmq INTERFACE ws2_32)
endif()
