// The groups of the window's tests.
#pragma once

class QObject;
QObject* NewStartupTest();
QObject* NewFirstPageTest();
QObject* NewProjectTest();
QObject* NewRunTest();
