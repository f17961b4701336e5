# win32 build: the export list of the module, the dialog resource, and the Windows libraries the
# subsystems call (Windows Sockets 2, COM and OLE automation for the SAX reader, SSPI and crypt32 for
# the secure channel).
enable_language(RC)
set(QF_PLUGIN_EXTRA_SOURCES ${CMAKE_SOURCE_DIR}/res/pxQuillfeed.def)
file(GLOB QF_RESOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/res/*.rc)
list(APPEND QF_PLUGIN_EXTRA_SOURCES ${QF_RESOURCES})
target_link_libraries(qf_platform INTERFACE ws2_32 ole32 oleaut32 uuid comctl32 user32 gdi32
  secur32 crypt32 winhttp advapi32)
