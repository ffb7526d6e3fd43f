# The noise plot, the histogram and the spectrum window.
#   kx3105_histogram      plain C++: the histogram table, axis ranges, cursor snapping, data text,
#                         the scaling of codes to volts for the second axis
#   kx3105_spectrum_view  plain C++: the spectrum of a run as the Spectrum window shows it (the
#                         board's update rate, the figure texts, cursor snapping, data text)
#   kx3105_charts         Qt Widgets + QCustomPlot: one setup function per chart, image export
#                         written with the atomic save of files/, zoom and pan (the
#                         command-line tool renders the same charts to files)
#   kx3105_chart_screens  Qt Widgets: GraphForm, HistForm and SpectrumForm

add_library(kx3105_histogram STATIC histogram.cpp chart_run.cpp)
target_link_libraries(kx3105_histogram PUBLIC kx3105_analysis)
kx_target_defaults(kx3105_histogram)

add_library(kx3105_spectrum_view STATIC spectrum_view.cpp)
target_link_libraries(kx3105_spectrum_view PUBLIC kx3105_histogram kx3105_register_logic
                                                  kx3105_spectrum)
kx_target_defaults(kx3105_spectrum_view)

add_library(kx3105_charts STATIC chart_setup.cpp chart_interaction.cpp spectrum_chart.cpp)
target_link_libraries(kx3105_charts PUBLIC kx3105_histogram kx3105_spectrum_view
                                           QCustomPlotQt6::QCustomPlotQt6 Qt6::Widgets
                                    PRIVATE kx3105_datafile)
kx_target_defaults(kx3105_charts)

add_library(kx3105_chart_screens STATIC chart_screen.cpp graphform.cpp histform.cpp
                                        spectrumform.cpp)
set_target_properties(kx3105_chart_screens PROPERTIES AUTOMOC ON)
target_link_libraries(kx3105_chart_screens PUBLIC kx3105_charts kx3105_widgets)
kx_target_defaults(kx3105_chart_screens)

# Dev-only: shows either screen for a run read from the simulated board (not built by default).
add_executable(kx3105_chart_preview EXCLUDE_FROM_ALL chart_preview.cpp)
target_link_libraries(kx3105_chart_preview PRIVATE kx3105_chart_screens kx3105_sim)
kx_target_defaults(kx3105_chart_preview)
