// Starts korvath-lsp for MATLAB files: the call hierarchy, definitions,
// references, symbols and hover come from the server.
'use strict';

const vscode = require('vscode');
const { LanguageClient, TransportKind } = require('vscode-languageclient/node');

let client;

// The server's initializationOptions from the korvath.* settings; an empty
// pathdef leaves the choice to the server (korvath.ini, toolbox/local, the
// workspace folders).
function initializationOptions(config) {
  const options = { resolve: config.get('resolve', 'path') };
  const pathdef = config.get('pathdef', '');
  if (pathdef) options.pathdef = pathdef;
  return options;
}

function serverCommand(config) {
  return config.get('serverPath', 'korvath-lsp') || 'korvath-lsp';
}

// The server registers its own watcher for **/*.m, so no file events are
// synchronised here.
function createClient() {
  const config = vscode.workspace.getConfiguration('korvath');
  const server = { command: serverCommand(config), transport: TransportKind.stdio };
  return new LanguageClient(
    'korvath',
    'Korvath',
    { run: server, debug: server },
    {
      documentSelector: [{ scheme: 'file', language: 'matlab' }],
      initializationOptions: initializationOptions(config),
    });
}

async function start() {
  client = createClient();
  try {
    await client.start();
  } catch (error) {
    const command = serverCommand(vscode.workspace.getConfiguration('korvath'));
    vscode.window.showErrorMessage(
      `Korvath: ${command} did not start (${error.message}); set korvath.serverPath.`);
  }
}

async function activate(context) {
  context.subscriptions.push(
    vscode.workspace.onDidChangeConfiguration(async (event) => {
      if (!event.affectsConfiguration('korvath')) return;
      // The settings go with initialize: a new server takes them.
      if (client) await client.stop().catch(() => {});
      await start();
    }));
  await start();
}

async function deactivate() {
  if (client) await client.stop();
}

module.exports = { activate, deactivate };
