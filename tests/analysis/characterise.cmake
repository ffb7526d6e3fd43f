# The noise spectrum, the Allan deviation and the characterisation steps.
kx_add_test(tst_spectrum SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_spectrum.cpp LIBS kx3105_spectrum)
