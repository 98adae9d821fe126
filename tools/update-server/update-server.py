#!/usr/bin/env python3
"""A small update server for the client, for tests, the demo and anyone who runs their own.

Serves, from FOLDER:
  /readip.aspx, /service/readip.aspx  the server's own address (host:port), for cfg.ini's
                                      [UPDATE] DISCOVERn
  /version/v.txt, /service/v.aspx     FOLDER/client-version.txt (the installation report's query
                                      is printed on standard output)
  /service/v1.aspx                    FOLDER/definitions-version.txt
  /service/dl.aspx?id=NAME            FOLDER/files/NAME (vemo, up, dh_menu.txt, menu_button.txt,
                                      up_sql.txt, clear_sql.txt, <uid>_form.dll)
Anything missing answers 404.

    update-server.py --dir FOLDER [--port PORT] [--host 127.0.0.1]
"""
import argparse
import http.server
import os
import sys
import urllib.parse


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('--dir', required=True)
    parser.add_argument('--port', type=int, default=8090)
    parser.add_argument('--host', default='127.0.0.1')
    args = parser.parse_args()
    folder = os.path.abspath(args.dir)

    class Handler(http.server.BaseHTTPRequestHandler):
        def answer(self, path):
            if not path or not os.path.isfile(path):
                self.send_error(404)
                return
            with open(path, 'rb') as f:
                body = f.read()
            self.send_response(200)
            self.send_header('Content-Type', 'application/octet-stream')
            self.send_header('Content-Length', str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def do_GET(self):
            url = urllib.parse.urlsplit(self.path)
            query = urllib.parse.parse_qs(url.query)
            if url.path in ('/readip.aspx', '/service/readip.aspx'):
                body = ('%s:%d' % (args.host, self.server.server_port)).encode()
                self.send_response(200)
                self.send_header('Content-Length', str(len(body)))
                self.end_headers()
                self.wfile.write(body)
            elif url.path in ('/version/v.txt', '/service/v.aspx'):
                if url.path == '/service/v.aspx':
                    print('report ' + url.query, flush=True)
                self.answer(os.path.join(folder, 'client-version.txt'))
            elif url.path == '/service/v1.aspx':
                self.answer(os.path.join(folder, 'definitions-version.txt'))
            elif url.path == '/service/dl.aspx':
                name = os.path.basename(query.get('id', [''])[0])
                self.answer(os.path.join(folder, 'files', name) if name else None)
            else:
                self.send_error(404)

        def log_message(self, *_):
            pass

    server = http.server.ThreadingHTTPServer((args.host, args.port), Handler)
    print('serving %s on %s:%d' % (folder, args.host, server.server_port), flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        return 0


if __name__ == '__main__':
    sys.exit(main())
