// The conversions, settings, version dialog and help through the real menu ids.
