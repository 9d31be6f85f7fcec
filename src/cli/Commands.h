#pragma once

#include <QStringList>

#include "CliSupport.h"

// The subcommands of krellon; each takes its arguments with its own name first.
namespace krellon::cli {

int Info(const QStringList& arguments, Streams& io);
int Check(const QStringList& arguments, Streams& io);
int Render(const QStringList& arguments, Streams& io);
int Export(const QStringList& arguments, Streams& io);
int Import(const QStringList& arguments, Streams& io);
int Add(const QStringList& arguments, Streams& io);
int Replace(const QStringList& arguments, Streams& io);
int Remove(const QStringList& arguments, Streams& io);
int Rename(const QStringList& arguments, Streams& io);
int Move(const QStringList& arguments, Streams& io);
int Unpack(const QStringList& arguments, Streams& io);
int Pack(const QStringList& arguments, Streams& io);
int Dump(const QStringList& arguments, Streams& io);
int Build(const QStringList& arguments, Streams& io);
int ListBackups(const QStringList& arguments, Streams& io);
int Restore(const QStringList& arguments, Streams& io);
int ListJournals(const QStringList& arguments, Streams& io);
int Recover(const QStringList& arguments, Streams& io);
int Discard(const QStringList& arguments, Streams& io);

// Runs krellon with arguments (the program's name first) and returns its exit status.
int Run(const QStringList& arguments, QTextStream& out, QTextStream& err);

}  // namespace krellon::cli
