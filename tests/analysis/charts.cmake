# The noise plot and the histogram.
kx_add_test(tst_histogram SOURCES tst_histogram.cpp LIBS kx3105_histogram)
kx_add_test(tst_graphform SOURCES tst_graphform.cpp LIBS kx3105_chart_screens)
kx_add_test(tst_histform SOURCES tst_histform.cpp LIBS kx3105_chart_screens)
kx_add_test(tst_chart_navigation SOURCES tst_chart_navigation.cpp LIBS kx3105_chart_screens)
kx_add_test(tst_spectrumform SOURCES tst_spectrumform.cpp LIBS kx3105_openers kx3105_sim)
