# The noise spectrum, the Allan deviation and the characterisation steps.
kx_add_test(tst_spectrum SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_spectrum.cpp LIBS kx3105_spectrum)
kx_add_test(tst_allan SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_allan.cpp LIBS kx3105_characterise)
kx_add_test(tst_characterise SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_characterise.cpp
            LIBS kx3105_characterise kx3105_spectrum kx3105_sim)
