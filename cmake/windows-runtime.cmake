# Puts what the Windows programs load at run time beside them in bin/: the Qt
# DLLs, the platform plugins (windows for the screen, offscreen for the tests),
# the Windows styles, Qt's German texts, and the MinGW runtime DLLs that the
# Qt DLLs link.  The folder then runs as it is, under Wine or copied to a
# Windows machine.
# Included by the top-level CMakeLists.txt for a Windows build of the window.

# The MinGW runtime DLLs, found where the compiler keeps them (a native
# MinGW on Windows has them on PATH already; MSVC needs none of them).
set(ZINDRA_MINGW_RUNTIME_DLLS "")
if(MINGW)
  foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(IS_ABSOLUTE "${path}" AND EXISTS "${path}")
      list(APPEND ZINDRA_MINGW_RUNTIME_DLLS "${path}")
    elseif(CMAKE_CROSSCOMPILING)
      message(FATAL_ERROR "The MinGW runtime ${dll} was not found beside ${CMAKE_CXX_COMPILER}")
    endif()
  endforeach()
endif()

find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets OPTIONAL_COMPONENTS Test)

set(ZINDRA_QT_DLLS $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets>)
if(TARGET Qt6::Test)
  list(APPEND ZINDRA_QT_DLLS $<TARGET_FILE:Qt6::Test>)
endif()

# Qt's own German texts (standard buttons, file dialogs).  The .qm files are
# the same on every system, so a cross build takes the host's (Debian package
# qt6-translations-l10n).
find_file(ZINDRA_QTBASE_DE qtbase_de.qm
  PATHS ${QT6_INSTALL_PREFIX}/translations /usr/share/qt6/translations
  NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT ZINDRA_QTBASE_DE)
  message(FATAL_ERROR "qtbase_de.qm not found (Debian package qt6-translations-l10n)")
endif()

set(bin ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
add_custom_target(zindra_windows_runtime ALL
  COMMAND ${CMAKE_COMMAND} -E make_directory ${bin}/platforms ${bin}/styles ${bin}/translations
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${ZINDRA_QTBASE_DE} ${bin}/translations
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${ZINDRA_MINGW_RUNTIME_DLLS} ${ZINDRA_QT_DLLS} ${bin}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>
          $<TARGET_FILE:Qt6::QOffscreenIntegrationPlugin> ${bin}/platforms
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> ${bin}/styles
  COMMENT "Copying the Qt and MinGW runtime DLLs and plugins into ${bin}"
  VERBATIM)
add_dependencies(zindra zindra_windows_runtime)
