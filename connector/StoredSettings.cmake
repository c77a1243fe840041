# The broker settings built into the library, in their stored form (`qv-encipher TEXT` prints it).
# The defaults are the stored forms of scripts/deployment.env (tests/settings checks that they agree).
# A deployment builds with its own: -DQV_MT4_USER_STORED=... and the four others.
set(QV_STORED_SETTING_OPTIONS QV_MT4_USER_STORED QV_MT4_PASSWORD_STORED QV_MT4_VIRTUAL_HOST_STORED
    QV_MT4_SIGNALS_EXCHANGE_STORED QV_MT4_RESPONSES_EXCHANGE_STORED)
set(QV_MT4_USER_STORED_DEFAULT "QYoKSkDASgDDCpBW+7mgwg==")  # qv_mt4_client
set(QV_MT4_PASSWORD_STORED_DEFAULT "m8uxuqBc61O5NmsPYoVVhA==")  # Qv-signals-2026
set(QV_MT4_VIRTUAL_HOST_STORED_DEFAULT "XBhiFgkfwXU=")  # quorvex
set(QV_MT4_SIGNALS_EXCHANGE_STORED_DEFAULT "6F02jLr5+aQFDTDV7K5JDQ==")  # quorvex.signals
set(QV_MT4_RESPONSES_EXCHANGE_STORED_DEFAULT "6F02jLr5+aTZY8RrTMne5f6D9xJ0nIkV")  # quorvex.responses
foreach(option ${QV_STORED_SETTING_OPTIONS})
  set(${option} "${${option}_DEFAULT}" CACHE STRING "Stored form of a built-in broker setting (qv-encipher)")
endforeach()

# Writes StoredSettings.h (included by Globals.cpp) into DIR from the five stored forms.
function(qv_stored_settings_header dir user password virtual_host signals_exchange responses_exchange)
  set(b "[A-Za-z0-9+/]")
  foreach(value user password virtual_host signals_exchange responses_exchange)
    if(NOT "${${value}}" MATCHES "^(${b}${b}${b}${b})*(${b}${b}${b}${b}|${b}${b}${b}=|${b}${b}==)$")
      message(FATAL_ERROR "Stored broker setting '${${value}}' (${value}) is not base64; make it with qv-encipher.")
    endif()
  endforeach()
  set(QV_MT4_USER_STORED "${user}")
  set(QV_MT4_PASSWORD_STORED "${password}")
  set(QV_MT4_VIRTUAL_HOST_STORED "${virtual_host}")
  set(QV_MT4_SIGNALS_EXCHANGE_STORED "${signals_exchange}")
  set(QV_MT4_RESPONSES_EXCHANGE_STORED "${responses_exchange}")
  configure_file(${PROJECT_SOURCE_DIR}/connector/StoredSettings.h.in ${dir}/StoredSettings.h @ONLY)
endfunction()
qv_stored_settings_header(${CMAKE_CURRENT_BINARY_DIR}/generated "${QV_MT4_USER_STORED}" "${QV_MT4_PASSWORD_STORED}"
  "${QV_MT4_VIRTUAL_HOST_STORED}" "${QV_MT4_SIGNALS_EXCHANGE_STORED}" "${QV_MT4_RESPONSES_EXCHANGE_STORED}")
