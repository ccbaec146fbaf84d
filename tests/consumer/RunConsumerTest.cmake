# Installs the built tree, checks that the installed headers stand on their
# own, then configures, builds and runs the consumer project against the
# installed package; finally compiles it by hand with the flags pkg-config
# reports.

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})

function(run)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed: ${ARGV}\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# Internals stay out of a host's include path.
file(GLOB_RECURSE detailDirs LIST_DIRECTORIES true ${prefix}/include/*)
list(FILTER detailDirs INCLUDE REGEX "/detail$")
if(detailDirs)
  message(FATAL_ERROR "installed include tree holds detail directories: ${detailDirs}")
endif()

# Every installed header compiles from the installed tree alone, so a public
# header that needs an uninstalled one is caught here.
file(GLOB_RECURSE headers RELATIVE ${prefix}/include ${prefix}/include/tessary/*.h)
list(SORT headers)
list(LENGTH headers headerCount)
if(headerCount LESS 10)
  message(FATAL_ERROR "only ${headerCount} headers installed: ${headers}")
endif()
set(everyHeader "")
foreach(header IN LISTS headers)
  string(APPEND everyHeader "#include <${header}>\n")
endforeach()
file(WRITE ${WORK_DIR}/every_header.cpp "${everyHeader}")
run(${CXX_COMPILER} -std=c++17 -fsyntax-only -I${prefix}/include ${WORK_DIR}/every_header.cpp)
run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/build -G ${GENERATOR}
    -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_BUILD_RPATH=${prefix}/lib)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${WORK_DIR}/build/consumer)
if(NOT last_output MATCHES "consumer ok")
  message(FATAL_ERROR "consumer printed: ${last_output}")
endif()

find_program(PKG_CONFIG pkg-config)
if(PKG_CONFIG)
  file(GLOB pcdir ${prefix}/lib*/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} ${pcdir})
  run(${PKG_CONFIG} --cflags --libs tessary)
  string(STRIP "${last_output}" flags)
  # The consumer picks its own language level; the package must not force one.
  if(flags MATCHES "-std=")
    message(FATAL_ERROR "pkg-config flags force a language level: ${flags}")
  endif()
  separate_arguments(flags UNIX_COMMAND "${flags}")
  file(GLOB libdir ${prefix}/lib*)
  run(${CXX_COMPILER} -std=c++17 ${SOURCE_DIR}/main.cpp ${flags} -Wl,-rpath,${libdir} -o ${WORK_DIR}/consumer_pc)
  run(${WORK_DIR}/consumer_pc)
endif()
message(STATUS "consumer project built and ran against the installed package")
