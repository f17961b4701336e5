# Native build: dlopen and friends for the module stand-ins, threads for the workers, expat and
# iconv for the SAX reader stand-in, OpenSSL for the secure channel, libidn2 for host names.
find_package(Threads REQUIRED)
target_link_libraries(qf_platform INTERFACE ${CMAKE_DL_LIBS} Threads::Threads)
find_package(EXPAT QUIET)
if(EXPAT_FOUND)
  target_link_libraries(qf_platform INTERFACE EXPAT::EXPAT)
endif()
find_package(OpenSSL REQUIRED)
target_link_libraries(qf_platform INTERFACE OpenSSL::SSL OpenSSL::Crypto)
# libidn2 for host names in other scripts.
find_package(PkgConfig REQUIRED)
pkg_check_modules(IDN2 REQUIRED IMPORTED_TARGET libidn2)
target_link_libraries(qf_platform PUBLIC PkgConfig::IDN2)
