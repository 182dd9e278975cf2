#pragma once

class QCoreApplication;

// Puts Qt's own texts (dialog buttons, the file dialog) in Russian, whatever the system's
// locale: the program speaks only Russian. Returns whether the translations were found.
bool installRussian(QCoreApplication& app);
