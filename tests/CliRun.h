#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

#include "cli/Commands.h"

// Runs krellon in this process; its output and diagnostics go to the two texts.
inline int Krellon(const QStringList& arguments, QString* out = nullptr, QString* err = nullptr) {
    QString o;
    QString e;
    {
        QTextStream outStream(&o);
        QTextStream errStream(&e);
        const int status =
            krellon::cli::Run(QStringList{"krellon"} + arguments, outStream, errStream);
        outStream.flush();
        errStream.flush();
        if (out != nullptr) {
            *out = o;
        }
        if (err != nullptr) {
            *err = e;
        }
        return status;
    }
}
