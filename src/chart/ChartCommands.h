#pragma once
// The report commands: a picture control becomes a chart over a grid of the form (show_report:
// bars; show_report3 and show_report31: bands; show_report5: a moving window of bands), drawn
// and optionally saved as a BMP file. RegisterChartCommands puts them into the form engine's
// registry at start-up, as the command layer cannot reach this one.
#include <QString>

class PictureView;

void RegisterChartCommands();

// Draws the picture control's chart into an image of its size on white, shows it and writes it
// as a BMP file; false when the file cannot be written (the chart is shown all the same).
bool DrawAndSaveChart(PictureView& picture, const QString& path);
