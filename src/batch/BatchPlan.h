#pragma once

#include "batch/BatchStep.h"

#include <QList>
#include <QString>

// What one batch run does: the steps, in command-line order, applied to every input, and where
// each result goes.
struct BatchPlan
{
    struct Job
    {
        QString input;
        QString output;
    };

    QList<BatchStep> steps;
    QList<Job> jobs;
    QString outputDirectory; // empty with -o
    bool overwrite = false;
    int workers = 0; // files processed at once; 0: one per core
};
