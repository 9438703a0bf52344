#pragma once

#include <QMainWindow>
#include <QString>

#include <memory>

// Relative to the application directory; its presence (any content, even none) turns the
// station into a factory test station.
inline constexpr char kFactoryMarkerPath[] = "/config/mode.txt";

bool factoryMarkerPresent(const QString& appDir);

// The one main window of the process, without a parent: the factory console when the marker
// exists, the operator console otherwise.
std::unique_ptr<QMainWindow> createMainWindow(const QString& appDir);
