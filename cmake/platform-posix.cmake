# Native build: dlopen and friends for the module stand-ins, threads for the workers, expat and
# iconv for the SAX reader stand-in, OpenSSL for the secure channel.
find_package(Threads REQUIRED)
target_link_libraries(qf_platform INTERFACE ${CMAKE_DL_LIBS} Threads::Threads)
find_package(EXPAT QUIET)
if(EXPAT_FOUND)
  target_link_libraries(qf_platform INTERFACE EXPAT::EXPAT)
endif()
find_package(OpenSSL REQUIRED)
target_link_libraries(qf_platform INTERFACE OpenSSL::SSL OpenSSL::Crypto)
