/* Exports the first entry point the client layer resolves, and nothing else. */
int isc_attach_database(void)
{
    return 0;
}
