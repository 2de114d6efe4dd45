# The committed conversion tables must be what tools/gen_babel_tables.py
# makes from Python's codecs. Building never needs Python; this check only
# runs where a python3 is installed.
find_program(PYTHON3 NAMES python3)
if(NOT PYTHON3)
  message(STATUS "python3 not found: table generator check skipped")
  return()
endif()
execute_process(
  COMMAND ${PYTHON3} ${SOURCE_DIR}/tools/gen_babel_tables.py
  OUTPUT_VARIABLE generated
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "tools/gen_babel_tables.py failed (${rc})")
endif()
file(READ ${SOURCE_DIR}/babel/code_tables_data.cpp committed)
if(NOT generated STREQUAL committed)
  message(FATAL_ERROR "babel/code_tables_data.cpp is out of date: run python3 tools/gen_babel_tables.py > babel/code_tables_data.cpp")
endif()
message(STATUS "babel code tables match the generator")
