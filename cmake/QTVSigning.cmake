# Authenticode signing of every Windows file this project ships, with the vendor's own certificate.
# Given a certificate, each engine is signed right after it is linked and stripped, so the engine that a
# control library carries (and writes under the temporary folder) is the signed file byte for byte; each
# control library, the setup program, its uninstaller and the installer packages are signed as they are
# made. Without one, the build is unsigned and says so. Each signature is also written detached into
# QTV_SIGNATURES_DIR, under the file's name in the release (32-bit/, 64-bit/ for the libraries).
# A rebuild of a published release takes the published signatures (QTV_SIGN_DETACHED_DIR) instead of a
# certificate and attaches each where the build would sign, so that it yields every signed file, the
# engines inside the control libraries and the uninstaller inside the setup program included.
set(QTV_SIGN_CERTIFICATE "" CACHE FILEPATH
    "Signing certificate: a PEM file (with QTV_SIGN_KEY) or a PKCS#12 file (.p12, .pfx) holding the key too")
set(QTV_SIGN_KEY "" CACHE FILEPATH "The PEM private key of QTV_SIGN_CERTIFICATE (not for PKCS#12)")
set(QTV_SIGN_PASSWORD_VARIABLE "" CACHE STRING
    "Name of the environment variable that holds the key's password at build time (empty: no password)")
set(QTV_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamping server (empty: no time stamp)")
set(QTV_SIGN_DETACHED_DIR "" CACHE PATH
    "A folder of a release's detached signatures (NAME.sig), attached instead of signing with a certificate")
set(QTV_SIGNATURES_DIR ${PROJECT_BINARY_DIR}/signatures CACHE PATH
    "Where a signing build writes each signature detached (NAME.sig)")
option(QTV_SIGN_WITH_TEST_AUTHORITY
       "Sign with a throwaway authority made in the build tree, to test signed builds (never for release)" OFF)

set(QTV_SIGNING OFF)
# The folder of a library's signature among the release's, as in the zip.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(QTV_SIGN_FOLDER 64-bit)
else()
  set(QTV_SIGN_FOLDER 32-bit)
endif()
# Signs a target's file after it is built; call it after qtv_split_debug_info, so that the signature
# covers the stripped file that ships.
function(qtv_sign target)
  if(QTV_SIGNING)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${QTV_SIGN_COMMAND} $<TARGET_FILE:${target}> ${QTV_SIGN_FOLDER}/$<TARGET_FILE_NAME:${target}>
      COMMENT "Signing $<TARGET_FILE_NAME:${target}>"
      VERBATIM)
  endif()
endfunction()

if(NOT WIN32)
  return()
endif()
if(QTV_SIGN_DETACHED_DIR AND (QTV_SIGN_CERTIFICATE OR QTV_SIGN_WITH_TEST_AUTHORITY))
  message(FATAL_ERROR "QTV_SIGN_DETACHED_DIR attaches published signatures: it takes no certificate")
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
find_program(OSSLSIGNCODE osslsigncode)
set(QTV_SIGN_COMMAND ${PROJECT_BINARY_DIR}/sign-file.sh)
# The command that signs FILE in place (NAME: its name among the signatures, by default the file's
# own), for a custom command or for a tool that signs what it makes (NSIS): a script in the build tree
# that holds the settings, empty ones included, and no password.
function(qtv_write_sign_command)
  set(quoted " '${PROJECT_SOURCE_DIR}/cmake/sign-file.sh'")
  # By index: an empty setting (no password, no time-stamping server) keeps its place.
  math(EXPR last "${ARGC} - 1")
  foreach(index RANGE ${last})
    string(REPLACE "'" "'\\''" value "${ARGV${index}}")
    string(APPEND quoted " '${value}'")
  endforeach()
  string(REGEX REPLACE "^ ('[^']*') ('[^']*')(.*)$" "\\1 \\2 \"$1\" \"\${2:-$(basename \"$1\")}\"\\3" call
         "${quoted}")
  file(WRITE ${QTV_SIGN_COMMAND}.in
       "#!/bin/sh\n# Signs the file named first (NAME second, if given) with this build's signatures.\nexec ${call}\n")
  file(COPY_FILE ${QTV_SIGN_COMMAND}.in ${QTV_SIGN_COMMAND} ONLY_IF_DIFFERENT)
  file(CHMOD ${QTV_SIGN_COMMAND} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                             WORLD_READ WORLD_EXECUTE)
endfunction()
if(QTV_SIGN_DETACHED_DIR)
  if(NOT OSSLSIGNCODE)
    message(FATAL_ERROR "Attaching signatures needs osslsigncode (Debian's package osslsigncode)")
  endif()
  if(NOT IS_DIRECTORY ${QTV_SIGN_DETACHED_DIR})
    message(FATAL_ERROR "The folder of published signatures ${QTV_SIGN_DETACHED_DIR} does not exist")
  endif()
  set(QTV_SIGNING ON)
  message(STATUS "Attaching the published signatures in ${QTV_SIGN_DETACHED_DIR} to what ships")
  qtv_write_sign_command(attach "${QTV_SIGNATURES_DIR}" "${QTV_SIGN_DETACHED_DIR}")
  return()
endif()
if(NOT QTV_SIGN_CERTIFICATE)
  message(STATUS "This build is unsigned (no QTV_SIGN_CERTIFICATE): nothing it makes carries a signature")
  return()
endif()

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
qtv_write_sign_command(sign "${QTV_SIGNATURES_DIR}" "${QTV_SIGN_CERTIFICATE}" "${QTV_SIGN_KEY}"
                       "${QTV_SIGN_PASSWORD_VARIABLE}" "${QTV_SIGN_TIMESTAMP_URL}" "${QTV_BUILD_TIME}")
