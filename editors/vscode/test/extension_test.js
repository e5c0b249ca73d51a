// The extension against its manifest and the real server, without VS Code:
// node test/extension_test.js KORVATH_LSP
//
// extension.js runs with stand-ins for the vscode and vscode-languageclient
// modules that record what it reads and starts. Checked: every setting it
// reads is declared in package.json with the same default, and none is
// declared unread; the language it serves is the one activation and the
// manifest name; the server it starts is korvath.serverPath, and the
// initializationOptions made from each korvath.resolve value and from
// korvath.pathdef are taken by korvath-lsp itself.
'use strict';

const assert = require('assert');
const childProcess = require('child_process');
const fs = require('fs');
const Module = require('module');
const os = require('os');
const path = require('path');
const url = require('url');

const root = path.resolve(__dirname, '..');
const manifest = JSON.parse(fs.readFileSync(path.join(root, 'package.json'), 'utf8'));
const declared = manifest.contributes.configuration.properties;
const server = process.argv[2];
if (!server) {
  console.error('usage: extension_test.js KORVATH_LSP');
  process.exit(2);
}

// --- stand-ins

let settings = {};
const reads = new Map();  // key -> default given to get()
let started = [];         // [serverOptions, clientOptions] per client started

const vscode = {
  workspace: {
    getConfiguration(section) {
      assert.strictEqual(section, 'korvath');
      return {
        get(key, fallback) {
          reads.set(key, fallback);
          return key in settings ? settings[key] : fallback;
        },
      };
    },
    onDidChangeConfiguration() { return { dispose() {} }; },
  },
  window: {
    showErrorMessage(text) { throw new Error(`error shown: ${text}`); },
  },
};
class LanguageClient {
  constructor(id, name, serverOptions, clientOptions) {
    this.options = [serverOptions, clientOptions];
  }
  async start() { started.push(this.options); }
  async stop() {}
}
const languageClient = { LanguageClient, TransportKind: { stdio: 0, ipc: 1, pipe: 2, socket: 3 } };

const load = Module._load;
Module._load = function (request, ...rest) {
  if (request === 'vscode') return vscode;
  if (request === 'vscode-languageclient/node') return languageClient;
  return load.call(this, request, ...rest);
};
const extension = require(path.join(root, manifest.main));

async function activate(values) {
  settings = values;
  started = [];
  await extension.activate({ subscriptions: [] });
  assert.strictEqual(started.length, 1, 'one client started');
  return started[0];
}

// --- the real server, spoken to as the client would

function talk(initializationOptions, folder, requests) {
  const messages = [{
    jsonrpc: '2.0', id: 0, method: 'initialize',
    params: { rootUri: url.pathToFileURL(folder).href, capabilities: {}, initializationOptions },
  }, { jsonrpc: '2.0', method: 'initialized', params: {} }];
  requests.forEach((r, i) => messages.push({ jsonrpc: '2.0', id: i + 1, ...r }));
  messages.push({ jsonrpc: '2.0', id: 'end', method: 'shutdown' }, { jsonrpc: '2.0', method: 'exit' });
  const input = messages.map((m) => {
    const body = Buffer.from(JSON.stringify(m));
    return Buffer.concat([Buffer.from(`Content-Length: ${body.length}\r\n\r\n`), body]);
  });
  const run = childProcess.spawnSync(server, [], { input: Buffer.concat(input), timeout: 60000 });
  assert.strictEqual(run.status, 0, `korvath-lsp ended with ${run.status}: ${run.stderr}`);
  const out = [];
  for (let rest = run.stdout; rest.length > 0;) {
    const head = rest.indexOf('\r\n\r\n');
    const length = Number(/Content-Length: (\d+)/i.exec(rest.subarray(0, head).toString())[1]);
    out.push(JSON.parse(rest.subarray(head + 4, head + 4 + length).toString()));
    rest = rest.subarray(head + 4 + length);
  }
  return out;
}
const logOf = (messages) => messages.filter((m) => m.method === 'window/logMessage')
  .map((m) => m.params.message).join('\n');
const replyTo = (messages, id) => messages.find((m) => m.id === id && !('method' in m));

async function main() {
  // The manifest: activation, language and entry point agree.
  const [serverOptions, clientOptions] = await activate({});
  const languages = clientOptions.documentSelector.map((s) => s.language);
  for (const language of languages) {
    assert.ok(manifest.activationEvents.includes(`onLanguage:${language}`),
      `no activation on ${language}`);
    assert.ok(manifest.contributes.languages.some((l) => l.id === language),
      `language ${language} not contributed`);
  }
  assert.deepStrictEqual(manifest.contributes.languages.find((l) => l.id === 'matlab').extensions,
    ['.m']);

  // Settings: read under their declared names with their declared defaults.
  for (const [key, fallback] of reads) {
    const entry = declared[`korvath.${key}`];
    assert.ok(entry, `korvath.${key} is read but not declared`);
    assert.deepStrictEqual(fallback, entry.default, `korvath.${key}: default differs`);
  }
  for (const name of Object.keys(declared)) {
    assert.ok(reads.has(name.replace(/^korvath\./, '')), `${name} is declared but never read`);
  }
  assert.strictEqual(serverOptions.run.command, declared['korvath.serverPath'].default);
  assert.deepStrictEqual(clientOptions.initializationOptions,
    { resolve: declared['korvath.resolve'].default });

  // A small project: main calls a local function; lib/ holds a function
  // found only through the pathdef.m named by korvath.pathdef.
  const folder = fs.realpathSync(fs.mkdtempSync(path.join(os.tmpdir(), 'korvath-vscode-')));
  try {
    fs.writeFileSync(path.join(folder, 'main.m'),
      'function main\nx = twice(1);\nend\nfunction r = twice(a)\nr = 2 * a;\nend\n');
    fs.mkdirSync(path.join(folder, 'lib'));
    fs.writeFileSync(path.join(folder, 'lib', 'libonly.m'), 'function libonly\n');
    // Away from toolbox/local/pathdef.m, which the server would take unasked.
    const pathdef = path.join('other', 'toolbox', 'local', 'pathdef.m');
    fs.mkdirSync(path.dirname(path.join(folder, pathdef)), { recursive: true });
    fs.writeFileSync(path.join(folder, pathdef),
      `function p = pathdef\np = [...\n%%% BEGIN ENTRIES %%%\n'${path.join(folder, 'lib')}:', ...\n` +
      '%%% END ENTRIES %%%\n];\n');
    const symbol = (query) => ({ method: 'workspace/symbol', params: { query } });

    // Each resolve value is one the server takes; "matlab" finds local functions.
    for (const resolve of declared['korvath.resolve'].enum) {
      const [, options] = await activate({ resolve });
      const messages = talk(options.initializationOptions, folder, [symbol('twice')]);
      assert.ok(!/unknown resolve/.test(logOf(messages)), `resolve ${resolve}: ${logOf(messages)}`);
      const names = replyTo(messages, 1).result.map((s) => s.name);
      assert.deepStrictEqual(names, resolve === 'matlab' ? ['main>twice'] : [], `resolve ${resolve}`);
    }

    // The pathdef setting reaches the server, relative to the workspace folder.
    const [, options] = await activate({ pathdef });
    const messages = talk(options.initializationOptions, folder, [symbol('libonly')]);
    assert.match(logOf(messages), /search path from initializationOptions\.pathdef/);
    assert.deepStrictEqual(replyTo(messages, 1).result.map((s) => s.name), ['libonly']);

    // korvath.serverPath names the program; empty falls back to the default.
    assert.strictEqual((await activate({ serverPath: server }))[0].run.command, server);
    assert.strictEqual((await activate({ serverPath: '' }))[0].run.command, 'korvath-lsp');
  } finally {
    fs.rmSync(folder, { recursive: true, force: true });
  }
  console.log('extension_test: ok');
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
