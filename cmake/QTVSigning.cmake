# Authenticode signing of every Windows file this project ships, with the vendor's own certificate.
# Given a certificate, each engine is signed right after it is linked and stripped, so the engine that a
# control library carries (and writes under the temporary folder) is the signed file byte for byte; each
# control library, the setup program, its uninstaller and the installer packages are signed as they are
# made. Without one, the build is unsigned and says so.
set(QTV_SIGN_CERTIFICATE "" CACHE FILEPATH
    "Signing certificate: a PEM file (with QTV_SIGN_KEY) or a PKCS#12 file (.p12, .pfx) holding the key too")
set(QTV_SIGN_KEY "" CACHE FILEPATH "The PEM private key of QTV_SIGN_CERTIFICATE (not for PKCS#12)")
set(QTV_SIGN_PASSWORD_VARIABLE "" CACHE STRING
    "Name of the environment variable that holds the key's password at build time (empty: no password)")
set(QTV_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamping server (empty: no time stamp)")
option(QTV_SIGN_WITH_TEST_AUTHORITY
       "Sign with a throwaway authority made in the build tree, to test signed builds (never for release)" OFF)

set(QTV_SIGNING OFF)
# Signs a target's file after it is built; call it after qtv_split_debug_info, so that the signature
# covers the stripped file that ships.
function(qtv_sign target)
  if(QTV_SIGNING)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${QTV_SIGN_COMMAND} $<TARGET_FILE:${target}>
      COMMENT "Signing $<TARGET_FILE_NAME:${target}>"
      VERBATIM)
  endif()
endfunction()

if(NOT WIN32)
  return()
endif()
if(QTV_SIGN_WITH_TEST_AUTHORITY)
  set(QTV_TEST_AUTHORITY ${PROJECT_BINARY_DIR}/test-authority)
  execute_process(COMMAND ${PROJECT_SOURCE_DIR}/tests/signing/make_test_authority.sh ${QTV_TEST_AUTHORITY}
                  RESULT_VARIABLE made)
  if(NOT made EQUAL 0)
    message(FATAL_ERROR "The throwaway signing authority could not be made in ${QTV_TEST_AUTHORITY}")
  endif()
  set(QTV_SIGN_CERTIFICATE ${QTV_TEST_AUTHORITY}/signer.pem)
  set(QTV_SIGN_KEY ${QTV_TEST_AUTHORITY}/signer.key)
  set(QTV_SIGN_PASSWORD_VARIABLE "")
  set(QTV_SIGN_TIMESTAMP_URL "")
endif()
if(NOT QTV_SIGN_CERTIFICATE)
  message(STATUS "This build is unsigned (no QTV_SIGN_CERTIFICATE): nothing it makes carries a signature")
  return()
endif()

find_program(OSSLSIGNCODE osslsigncode)
if(NOT OSSLSIGNCODE)
  message(FATAL_ERROR "Signing needs osslsigncode (Debian's package osslsigncode)")
endif()
if(NOT EXISTS ${QTV_SIGN_CERTIFICATE})
  message(FATAL_ERROR "The signing certificate ${QTV_SIGN_CERTIFICATE} does not exist")
endif()
if(NOT QTV_SIGN_CERTIFICATE MATCHES "\\.([pP]12|[pP][fF][xX])$" AND NOT EXISTS "${QTV_SIGN_KEY}")
  message(FATAL_ERROR "A PEM signing certificate needs its private key: QTV_SIGN_KEY")
endif()
if(QTV_SIGN_PASSWORD_VARIABLE AND NOT DEFINED ENV{${QTV_SIGN_PASSWORD_VARIABLE}})
  message(WARNING "The key's password is to come from the environment variable "
                  "${QTV_SIGN_PASSWORD_VARIABLE}, which is not set now: it must be when building")
endif()
set(QTV_SIGNING ON)
message(STATUS "Signing what ships with ${QTV_SIGN_CERTIFICATE}")

# The command that signs FILE in place, for a custom command or for a tool that signs what it makes
# (NSIS): a script in the build tree that holds the settings, empty ones included, and no password.
set(QTV_SIGN_COMMAND ${PROJECT_BINARY_DIR}/sign-file.sh)
set(quoted "")
foreach(value IN ITEMS "${PROJECT_SOURCE_DIR}/cmake/sign-file.sh" "${QTV_SIGN_CERTIFICATE}" "${QTV_SIGN_KEY}"
                       "${QTV_SIGN_PASSWORD_VARIABLE}" "${QTV_SIGN_TIMESTAMP_URL}")
  string(REPLACE "'" "'\\''" value "${value}")
  string(APPEND quoted " '${value}'")
endforeach()
string(REGEX REPLACE "^ ('[^']*')(.*)$" "\\1 \"$1\"\\2" call "${quoted}")
file(WRITE ${QTV_SIGN_COMMAND}.in "#!/bin/sh\n# Signs the file named first with this build's certificate.\nexec ${call}\n")
file(COPY_FILE ${QTV_SIGN_COMMAND}.in ${QTV_SIGN_COMMAND} ONLY_IF_DIFFERENT)
file(CHMOD ${QTV_SIGN_COMMAND} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                           WORLD_READ WORLD_EXECUTE)
