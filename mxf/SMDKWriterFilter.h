#pragma once

// A writer that wraps another writer: it sees every writer operation on its way to the wrapped writer.

#include "mxf/SMDKWriter.h"

#include <boost/shared_ptr.hpp>

class SMDKWriterFilter : public SMDKWriter {
public:
    // Replaces the wrapped writer.
    virtual void setWrappedWriter(boost::shared_ptr<SMDKWriter> writer) = 0;
    // The wrapped writer; null when none is set.
    virtual boost::shared_ptr<SMDKWriter> wrappedWriter() const = 0;
};
