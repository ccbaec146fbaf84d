# Installs only the Python package into a scratch prefix, then imports it from
# a directory outside the build tree with nothing but PYTHONPATH pointing
# there: the extension must find the library it ships with.

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} --component python
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "install failed:\n${out}\n${err}")
endif()

set(site ${prefix}/${SITE_RELATIVE})
set(ENV{PYTHONPATH} ${site})
unset(ENV{LD_LIBRARY_PATH})
execute_process(COMMAND ${PYTHON} -c
    "import numpy, tessary; print(tessary.__file__); print(len(tessary.NeighborList(2.0, numpy.zeros((2, 3), numpy.float32)).pairs()[0]))"
  WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "import from ${site} failed:\n${out}\n${err}")
endif()
if(NOT out MATCHES "^${site}/tessary/__init__.py\n1\n$")
  message(FATAL_ERROR "imported the wrong package or got a wrong result:\n${out}")
endif()
foreach(file IN ITEMS __init__.pyi py.typed)
  if(NOT EXISTS ${site}/tessary/${file})
    message(FATAL_ERROR "${file} was not installed")
  endif()
endforeach()
