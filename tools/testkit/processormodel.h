#pragma once

#include <QByteArray>

// The processor's model name as the kernel reports it, for benchmark reports: figures from
// different machines are only comparable with it.
QByteArray processorModel();
